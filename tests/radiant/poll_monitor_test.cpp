#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "journal_builder.h"
#include "messages/ui_interfaces.h"
#include "platform/file_ops.h"
#include "radiant/poll_monitor.h"
#include "site_fixture.h"
#include "support/recording_messages.h"
#include "xml_probe.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using ::testing::StartsWith;

// Files of a directory tree (relative path -> size and time), without the settings files the
// pass rewrites.
std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> Snapshot(
    const std::string& root) {
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (!entry.is_regular_file() || name.rfind("SETUP", 0) == 0 ||
            name.rfind("POSTSETUP", 0) == 0 || name.rfind("POLHIST", 0) == 0) {
            continue;
        }
        files[name] = {entry.file_size(), entry.last_write_time()};
    }
    return files;
}

std::set<std::string> Names(const std::string& directory) {
    std::set<std::string> names;
    if (!fs::exists(directory))
        return names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The errors reported less the stand-in archiver's, which fails on purpose so that the day
// folders stay to be looked at (a failing archiver is reported as an error).
std::vector<std::string> PassErrors(const test::RecordingMessage& error) {
    std::vector<std::string> errors;
    for (const std::string& text : error.Texts()) {
        if (text.rfind("7z Failed, ", 0) != 0)
            errors.push_back(text);
    }
    return errors;
}

// One pass over a POS export directory holding a 500-event journal that crosses midnight,
// ten movement reports of two periods whose begins lie 29 and 31 minutes from the first's, an
// emc file, a cashier file, an acknowledgement, a truncated journal and a directory named like
// an export; run with the POS copies deleted or kept, west and east of UTC.
class SalesPass : public ::testing::TestWithParam<std::tuple<bool, const char*>> {
protected:
    bool DeleteSource() const { return std::get<0>(GetParam()); }

    void Possim(const std::vector<std::string>& arguments) {
#ifdef TW_POSSIM
        std::vector<std::string> argv{TW_POSSIM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.push_back("--out");
        argv.push_back(site.pos);
        platform::PosixProcessLauncher launcher;
        platform::ProcessOptions options;
        options.timeLimit = std::chrono::minutes(2);
        ASSERT_TRUE(launcher.Run(argv, options).Succeeded()) << arguments[0];
#else
        GTEST_SKIP() << "possim is not built";
#endif
    }

    // The POS's files, each given a time one minute after the one before, in this order.
    void LayOutPosDirectory() {
        fs::create_directories(site.pos);
        Possim({"journal", "--events", "500", "--registers", "3", "--seed", "7", "--start",
                "2026-03-05T22:00", "--hours", "4"});
        Possim({"journal", "--events", "40", "--start", "2026-03-04T22:00", "--hours", "4",
                "--variant", "truncated", "--name", "NAXML-POSJournalCUT.XML"});
        Possim({"movement", "--type", "FGM,MCM,TPM,ISM", "--start", "2026-03-05T14:00", "--hours",
                "8"});
        Possim({"movement", "--type", "all", "--start", "2026-03-05T14:31", "--minutes", "449",
                "--version-code", "340"});
        Possim({"movement", "--type", "MSM", "--start", "2026-03-05T14:29", "--minutes", "451"});
        if (HasFatalFailure() || IsSkipped())
            return;
        dir().Write("pos/export/emc20260305220100.xml",
                    "<EMC><JournalHeader><BeginDate>2026-03-05</BeginDate><BeginTime>14:00:00"
                    "</BeginTime><EndDate>2026-03-05</EndDate><EndTime>22:01:00</EndTime>"
                    "</JournalHeader></EMC>");
        dir().Write("pos/export/CSH33020260305220000.XML", "<Cashiers/>");
        dir().Write("pos/export/ACK0001.XML", "<Acknowledgement/>");
        fs::create_directories(site.pos + "/OLD.XML");

        const char* order[] = {"FGM33020260305220000.XML", "MCM33020260305220000.XML",
                               "TPM33020260305220000.XML", "ISM33020260305220000.XML",
                               "FGM34020260305220000.XML", "ISM34020260305220000.XML",
                               "MCM34020260305220000.XML", "MSM34020260305220000.XML",
                               "TPM34020260305220000.XML", "MSM33020260305220000.XML",
                               "emc20260305220100.xml",    "NAXML-POSJournal20260306020000.XML",
                               "CSH33020260305220000.XML", "ACK0001.XML",
                               "NAXML-POSJournalCUT.XML"};
        std::time_t when = 1772900000;  // early March 2026
        for (const char* name : order) {
            ASSERT_TRUE(fs::exists(site.pos + "/" + name)) << name;
            ASSERT_TRUE(platform::SetModificationTime(site.pos + "/" + name, when += 60, nullptr));
        }
        newestTime = when;
    }

    // Runs one poll: a new monitor, one pass, as the application does.
    void Poll() {
        HeadlessUiBridge bridge;
        JournalProcessingOptions options;
        options.archive.launcher = &site.launcher;
        options.posVersionLogged = &posVersionLogged;
        CountedPtr<PollerWaiter> monitor =
            BuildRadiantPollMonitor(&bridge, *site.setup, {}, options);
        ASSERT_TRUE(monitor->Start());
        monitor->WaitForThread();
        EXPECT_TRUE(bridge.WaitForEndOfPass(std::chrono::seconds(1)));
        EXPECT_EQ(monitor->LastResult(), Monitor::kSuccess);
    }

    // Expected event files from the journal itself: day folder and name of every event.
    std::set<std::string> ExpectedEventFiles(const std::string& journal) {
        const test::XmlProbe probe(journal);
        const std::string events =
            "/n:NAXML-POSJournal/n:JournalReport/n:JournalHeader/following-sibling::*";
        const int count = static_cast<int>(probe.Number("count(" + events + ")"));
        std::set<std::string> expected;
        for (int i = 1; i <= count; ++i) {
            const std::string event = "(" + events + ")[" + std::to_string(i) + "]/n:";
            const std::string date = probe.String(event + "EventEndDate");
            const std::string time = probe.String(event + "EventEndTime");
            const std::string month = date.substr(5, 2), day = date.substr(8, 2);
            expected.insert(month + "/jrn" + month + day + "/jrn" + date.substr(0, 4) + month +
                            day + time.substr(0, 2) + time.substr(3, 2) + time.substr(6, 2) + "-" +
                            probe.String(event + "RegisterID") + "-" +
                            probe.String(event + "TransactionID") + ".xml");
        }
        return expected;
    }

    std::set<std::string> WrittenEventFiles() const {
        std::set<std::string> written;
        for (const auto& folder : {"03/jrn0305", "03/jrn0306"}) {
            for (const auto& name : Names(site.data + folder)) {
                written.insert(std::string(folder) + "/" + name);
            }
        }
        return written;
    }

    test::ScratchDir& dir() {
        return site.dir;
    }

    test::ScopedTimeZone zone{std::get<1>(GetParam())};
    test::RecordedMessages messages;
    test::TestSite site;
    std::atomic<bool> posVersionLogged{false};
    std::time_t newestTime = 0;
};

TEST_P(SalesPass, OnePassSortsOutEveryFileAndTheNextTakesOnlyWhatIsNew) {
    site.setup->deletePOSSourceFile = DeleteSource();
    site.setup->useSevenZip = true;  // the stand-in archiver leaves the day folders be
    fs::create_directories(site.setup->importDestinationPath);
    LayOutPosDirectory();
    if (HasFatalFailure() || IsSkipped())
        return;
    // Kept aside: the journal as the POS wrote it, to know which files it must give.
    fs::copy_file(site.pos + "/NAXML-POSJournal20260306020000.XML", site.dir.File("journal.xml"));

    Poll();

    // Every event in its day folder, named from its own end, register and transaction.
    const std::set<std::string> expected = ExpectedEventFiles(site.dir.File("journal.xml"));
    ASSERT_THAT(expected, SizeIs(500));
    const std::set<std::string> written = WrittenEventFiles();
    EXPECT_EQ(written, expected);
    EXPECT_FALSE(Names(site.data + "03/jrn0305").empty());
    EXPECT_FALSE(Names(site.data + "03/jrn0306").empty()) << "the journal crosses midnight";
    for (const auto& name : written) {
        const test::XmlProbe event(site.data + name);
        ASSERT_TRUE(event.Loaded()) << name;
        ASSERT_EQ(event.Number("count(/n:NAXML-POSJournal/*)"), 2) << name;
        ASSERT_EQ(event.String("name(/n:NAXML-POSJournal/*[1])"), "TransmissionHeader");
        ASSERT_EQ(event.String("/n:NAXML-POSJournal/@version"), "3.4");
        ASSERT_EQ(event.Number("count(/n:NAXML-POSJournal/n:JournalReport/*)"), 2) << name;
        ASSERT_EQ(event.String("/n:NAXML-POSJournal/n:JournalReport/n:JournalHeader/n:EndDate"),
                  "2026-03-06");
        const std::string transaction =
            event.String("/n:NAXML-POSJournal/n:JournalReport/*[2]/n:TransactionID");
        ASSERT_THAT(name, HasSubstr("-" + transaction + ".xml"));
        ASSERT_THAT(event.String("local-name(/n:NAXML-POSJournal/n:JournalReport/*[2])"),
                    HasSubstr("Event"));
    }
    EXPECT_THAT(site.launcher.calls, SizeIs(2)) << "both day folders were handed to archiving";

    // The slot files: two periods of five reports, the emc file near the first period, the
    // journal in the period after the recorded ones.
    std::set<std::string> dataFiles{"03",           "FGMD0001.XML", "MCMD0001.XML", "TPMD0001.XML",
                                    "ISMD0001.XML", "MSMD0001.XML", "FGMD0002.XML", "MCMD0002.XML",
                                    "TPMD0002.XML", "ISMD0002.XML", "MSMD0002.XML", "emcD0001.XML",
                                    "JRND0003.XML", "REJECTED",     "POLHISTD.001"};
    if (!DeleteSource()) {
        // FileDateTime moved: it was saved, and nothing else.
        dataFiles.insert("SETUP.001");
    }
    EXPECT_EQ(Names(site.data), dataFiles);
    EXPECT_EQ(Names(site.data + "REJECTED"), std::set<std::string>{"NAXML-POSJournalCUT.XML"});
    auto history = OpenHistory(site.data, 1, kDayHistory);
    ASSERT_TRUE(history);
    const auto records = history->ReadRingOrder();
    ASSERT_THAT(records, SizeIs(2));
    EXPECT_EQ(records[0].sequence, 1);
    EXPECT_EQ(records[0].begin, platform::OleDate::FromCivil(2026, 3, 5, 14, 29));
    EXPECT_EQ(records[0].end, platform::OleDate::FromCivil(2026, 3, 5, 22, 0));
    EXPECT_EQ(records[1].sequence, 2);
    EXPECT_EQ(records[1].begin, platform::OleDate::FromCivil(2026, 3, 5, 14, 31));
    EXPECT_EQ(history->LastSequence(), 2);
    history.reset();

    EXPECT_THAT(PassErrors(messages.error),
                ElementsAre(StartsWith("Unable to load " + site.data + "NAXML-POSJournalCUT.XML")));
    EXPECT_THAT(messages.posVersion.Texts(), ElementsAre("Radiant POS 4.02.1"));
    if (DeleteSource()) {
        // The journal that arrived cut short is not deleted on the POS: the POS may still be
        // writing it, and its later sales would be lost.
        EXPECT_EQ(Names(site.pos), (std::set<std::string>{"NAXML-POSJournalCUT.XML", "OLD.XML"}));
    } else {
        EXPECT_THAT(Names(site.pos), SizeIs(16));
        // Not past the journal cut short (the newest file): it is offered again until whole.
        EXPECT_EQ(FormatFileDateTime(site.setup->FileDateTime()),
                  platform::OleDate::FromFileTime(newestTime - 60).Format());
    }

    // The next poll takes only what the POS wrote since (and, while the POS keeps them, the
    // acknowledgements, which are always taken).
    const auto before = Snapshot(site.data);
    messages.log.Clear();
    dir().Write("pos/export/MSM33020260306060000.XML",
                test::MovementReportXml("MSM", "2026-03-05", "22:00", "2026-03-06", "06:00"));
    ASSERT_TRUE(platform::SetModificationTime(site.pos + "/MSM33020260306060000.XML",
                                              newestTime + 60, nullptr));
    Poll();
    auto after = Snapshot(site.data);
    ASSERT_EQ(after.erase("MSMD0003.XML"), 1u) << "the new report of a new period";
    // The cut journal kept on the POS came again; REJECTED/ keeps one copy of it.
    EXPECT_EQ(after, before);
    std::vector<std::string> removed;
    for (const auto& text : messages.log.Texts()) {
        EXPECT_THAT(text, Not(StartsWith("Split to:")));
        if (text.rfind("Removed: ", 0) == 0)
            removed.push_back(text);
    }
    if (DeleteSource()) {
        EXPECT_THAT(removed, IsEmpty());
    } else {
        EXPECT_THAT(removed, ElementsAre("Removed: " + site.data + "ACK0001.XML"));
    }
    // Nothing new went wrong; the cut journal is reported again.
    EXPECT_THAT(PassErrors(messages.error),
                ElementsAre(StartsWith("Unable to load " + site.data + "NAXML-POSJournalCUT.XML;"),
                            "Unable to load " + site.data +
                                "NAXML-POSJournalCUT.XML; the same file is already kept as " +
                                site.data + "REJECTED/NAXML-POSJournalCUT.XML."));
}

INSTANTIATE_TEST_SUITE_P(DeleteOrKeepWestAndEast, SalesPass,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values("America/Chicago", "Asia/Kolkata")),
                         [](const ::testing::TestParamInfo<SalesPass::ParamType>& info) {
                             const std::string zone = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param) ? "Delete" : "Keep") + "_" +
                                    zone.substr(zone.find('/') + 1);
                         });

}  // namespace
}  // namespace tw::radiant

namespace tw::radiant {
namespace {

// A journal fetched while the POS is still writing it arrives cut short. Deleting the POS's
// file then would lose every sale written after the copy: it stays on the POS, and the next
// pass takes it whole.
TEST(SalesPassWhileThePosWrites, AJournalCutShortIsKeptOnThePosAndTakenWholeLater) {
    test::RecordedMessages messages;
    test::TestSite site;
    site.setup->deletePOSSourceFile = true;
    test::JournalLayout layout;
    for (int n = 1; n <= 40; ++n) {
        test::JournalEventLayout event;
        event.transactionId = std::to_string(n);
        event.endDate = "2026-03-05";
        event.endTime = "22:" + test::Two(n) + ":00";
        layout.events.push_back(event);
    }
    const std::string journal = test::JournalXml(layout);
    const std::string path = site.pos + "/NAXML-POSJournal20260306020000.XML";
    site.dir.Write("pos/export/NAXML-POSJournal20260306020000.XML",
                   journal.substr(0, journal.size() / 2));
    test::PollSite(site);
    EXPECT_TRUE(fs::exists(path)) << "the POS's file must not go while its copy is incomplete";
    EXPECT_THAT(test::EventFileNames(site.data), IsEmpty());

    site.dir.Write("pos/export/NAXML-POSJournal20260306020000.XML", journal);  // finished
    test::PollSite(site);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(40));
}

}  // namespace
}  // namespace tw::radiant
