#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "journal_builder.h"
#include "monitor/file_system.h"
#include "radiant/journal_processing.h"
#include "settings/poll_hist.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "zip/unzipper.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAre;

platform::OleDate At(int day, int hour, int minute) {
    return platform::OleDate::FromCivil(2026, 3, day, hour, minute);
}

// Answers every archiver start with a failure code, so the day folders stay to be looked at.
class RefusingLauncher : public platform::ProcessLauncher {
public:
    platform::ProcessOutcome Run(const std::vector<std::string>& argv,
                                 const platform::ProcessOptions&) override {
        calls.push_back(argv);
        platform::ProcessOutcome outcome;
        outcome.status = platform::ProcessOutcome::Status::Exited;
        outcome.exitCode = 255;
        return outcome;
    }
    std::vector<std::vector<std::string>> calls;
};

TEST(ReceivedFiles, KindsAndSlotNamesComeFromTheFileNameOnly) {
    using Kind = ReceivedFileKind;
    EXPECT_EQ(ClassifyReceivedFile("/d/CSH/MSM1.XML", "", true), Kind::MovementReport);
    EXPECT_EQ(ClassifyReceivedFile("/d/x/CSH001.XML", "", true), Kind::Cashier);
    EXPECT_EQ(ClassifyReceivedFile("/d/csh001.xml", "", false), Kind::Other) << "exact case";
    EXPECT_EQ(ClassifyReceivedFile("/naxml-posjournal/emc/ACK1.XML", "", false), Kind::Other);
    EXPECT_EQ(ClassifyReceivedFile("/d/NAXML-POSJournal_0305.xml", "", false), Kind::Journal);
    EXPECT_EQ(ClassifyReceivedFile("/d/PJR0305.XML", "  pjr ", false), Kind::Journal);
    EXPECT_EQ(ClassifyReceivedFile("/d/NAXML-POSJournal.xml", "PJR", false), Kind::Other);
    EXPECT_EQ(ClassifyReceivedFile("/d/EMC0305.XML", "", false), Kind::Emc);

    EXPECT_EQ(SlotFileName("/d/", "/d/MSM33020260305.XML", 15, 10), "/d/MSMD0005.XML");
    EXPECT_EQ(SlotFileName("/d", "/POSJournal/emc1.xml", 3, 10), "/d/emcD0003.XML");
    EXPECT_EQ(SlotFileName("/d/", "/d/NAXML-POSJournal1.xml", 12, 10), "/d/JRND0002.XML");
    EXPECT_EQ(SlotFileName("/d/", "/d/MSM1.XML", 12, 0), "/d/MSMD-001.XML");
}

class JournalProcessing : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(data);
        ASSERT_TRUE(CreateHistoryFile(data + "POLHISTD.001", 10));
        Record(4, At(4, 6, 0), At(4, 14, 0));
    }
    void Record(std::int32_t sequence, const platform::OleDate& begin,
                const platform::OleDate& end) {
        auto history = OpenHistory(data, 1, kDayHistory);
        ASSERT_TRUE(history);
        history->SetCurrent({sequence, begin, end});
        ASSERT_TRUE(history->WriteRecord());
        history->SetLastSequence(sequence);
        ASSERT_TRUE(history->WriteHeader());
    }
    std::vector<HistRecord> Records() {
        auto history = OpenHistory(data, 1, kDayHistory);
        return history ? history->ReadRingOrder() : std::vector<HistRecord>{};
    }
    std::int32_t LastSequence() {
        auto history = OpenHistory(data, 1, kDayHistory);
        return history ? history->LastSequence() : -1;
    }
    std::string Movement(const std::string& name, const std::string& type, int beginHour,
                         int beginMinute, int endHour) {
        return dir.Write("data/" + name, test::MovementReportXml(
                                             type, "2026-03-05",
                                             test::Two(beginHour) + ":" + test::Two(beginMinute),
                                             "2026-03-05", test::Two(endHour) + ":00"));
    }
    // Runs journal processing over the given received files.
    void Process(const std::vector<std::string>& received, bool useSevenZip = true) {
        RadiantDestinationSalesFilesProcessor processor(
            CountedPtr<FileSystem>(new LocalWinFileSystem()), data, 1, "", useSevenZip,
            {{&launcher}, &posVersionLogged});
        ASSERT_TRUE(processor.Begin());
        for (const auto& path : received) processor.Process(path);
        EXPECT_TRUE(processor.End());
    }
    bool Exists(const std::string& name) const { return fs::exists(data + name); }

    test::ScratchDir dir;
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    const std::string data = dir.Path() + "/data/";
    test::RecordedMessages messages;
    RefusingLauncher launcher;
    std::atomic<bool> posVersionLogged{false};
};

TEST_F(JournalProcessing, MovementReportsOfOnePeriodShareASequenceAndSlot) {
    const std::string first = Movement("MSM330202603051400001.XML", "MSM", 6, 0, 14);
    const std::string second = Movement("FGM330202603051400001.XML", "FGM", 6, 29, 14);
    const std::string other = Movement("ISM330202603051400001.XML", "ISM", 6, 31, 14);
    const std::string again = Movement("MSM330202603051400002.XML", "MSM", 6, 0, 14);
    Process({first, other, second, again});

    // 29 minutes apart is the same period, 31 minutes apart a new one.
    ASSERT_THAT(Records(), SizeIs(3));
    EXPECT_EQ(Records()[1].sequence, 5);
    EXPECT_EQ(Records()[1].end, At(5, 14, 0));
    EXPECT_EQ(Records()[2].sequence, 6);
    EXPECT_EQ(Records()[2].begin, At(5, 6, 31));
    EXPECT_EQ(LastSequence(), 6);
    EXPECT_TRUE(Exists("FGMD0005.XML"));
    EXPECT_TRUE(Exists("ISMD0006.XML"));
    // The second MSM of the same period replaces the first in its slot.
    EXPECT_EQ(test::ReadAll(data + "MSMD0005.XML"),
              test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"));
    EXPECT_FALSE(Exists("MSM330202603051400001.XML"));
    EXPECT_FALSE(Exists("MSM330202603051400002.XML"));
    EXPECT_THAT(messages.log.Texts(),
                Contains("Assigned " + second + " to " + data + "FGMD0005.XML."));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_THAT(messages.posVersion.Texts(), ElementsAre("Radiant RPOS 4.2.1"))
        << "the POS version comes from the first movement report only";
}

TEST_F(JournalProcessing, JournalsAndEmcFilesJoinPeriodsWithoutRecordsOfTheirOwn) {
    test::JournalLayout layout;
    layout.beginDate = "2026-03-04";
    layout.beginTime = "06:00:00";
    layout.endDate = "2026-03-04";
    layout.endTime = "14:00:00";
    layout.events = test::EventsFrom(3, 4, 9, 0, 60);
    const std::string journal =
        dir.Write("data/NAXML-POSJournal0304.xml", test::JournalXml(layout));
    // One minute after the recorded end: found only with the tolerance for emc files.
    const std::string emc = dir.Write(
        "data/emc0304.xml",
        "<EMC><JournalHeader><BeginDate>2026-03-04</BeginDate><BeginTime>06:00</BeginTime>"
        "<EndDate>2026-03-04</EndDate><EndTime>14:01</EndTime></JournalHeader></EMC>");
    layout.endTime = "23:00:00";  // a period the history does not know
    layout.events.clear();
    const std::string later = dir.Write("data/naxml-posjournal0304b.xml", test::JournalXml(layout));
    Process({later, emc, journal});

    EXPECT_TRUE(Exists("JRND0004.XML"));
    EXPECT_TRUE(Exists("emcD0004.XML"));
    EXPECT_TRUE(Exists("naxD0005.XML")) << "a new period, numbered but not recorded";
    EXPECT_THAT(Records(), SizeIs(1));
    EXPECT_EQ(LastSequence(), 4);
    EXPECT_THAT(fs::directory_entry(data + "03/jrn0304").exists(), true);
    EXPECT_THAT(launcher.calls, SizeIs(1)) << "the day folder went to the archiver";
    EXPECT_THAT(messages.log.Texts(), Contains("Processing " + journal));
    EXPECT_THAT(messages.log.Texts(), Contains("Archiving Journal files.."));
}

// The one-minute near match is for emc files only: a journal or a movement report ending a
// minute after the recorded period (06:00 to 14:00 on the 4th) reports a new period.
TEST_F(JournalProcessing, OnlyEmcFilesTakeTheOneMinuteNearMatch) {
    test::JournalLayout layout;
    layout.beginDate = "2026-03-04";
    layout.beginTime = "06:00:00";
    layout.endDate = "2026-03-04";
    layout.endTime = "14:01:00";
    const std::string journal =
        dir.Write("data/NAXML-POSJournal0304.xml", test::JournalXml(layout));
    Process({journal});
    EXPECT_TRUE(Exists("JRND0005.XML"));
    EXPECT_FALSE(Exists("JRND0004.XML"));

    const std::string movement =
        dir.Write("data/MSM330202603041401001.XML",
                  test::MovementReportXml("MSM", "2026-03-04", "06:00", "2026-03-04", "14:01"));
    Process({movement});
    EXPECT_TRUE(Exists("MSMD0005.XML"));
    EXPECT_FALSE(Exists("MSMD0004.XML"));
    ASSERT_THAT(Records(), SizeIs(2));
    EXPECT_EQ(Records()[1].sequence, 5);
    EXPECT_EQ(Records()[1].end, At(4, 14, 1));
    EXPECT_EQ(LastSequence(), 5);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

TEST_F(JournalProcessing, AJournalWithoutAValidBeginIsMatchedByItsEndAlone) {
    // A movement report of a new period is sorted first; the journal after it must not borrow
    // its begin time.
    const std::string movement = Movement("MSM330202603050800001.XML", "MSM", 7, 0, 8);
    test::JournalLayout layout;
    layout.beginDate = "";
    layout.endDate = "2026-03-04";
    layout.endTime = "14:00:00";
    const std::string journal = dir.Write("data/NAXML-POSJournal.xml", test::JournalXml(layout));
    Process({movement, journal});
    EXPECT_TRUE(Exists("MSMD0005.XML"));
    EXPECT_TRUE(Exists("JRND0004.XML"));
}

TEST_F(JournalProcessing, UnwantedFilesGoAndUnreadableOnesAreSetAside) {
    const std::string cashier = dir.Write("data/CSH0305.XML", "not even XML");
    const std::string ack = dir.Write("data/ACK0305.XML", "<Ack/>");
    const std::string truncated = dir.Write("data/NAXML-POSJournal9.xml", "<NAXML-POSJournal><Jo");
    const std::string doctype =
        Movement("TLM330202603051400001.XML", "TLM", 6, 0, 14);  // gets a declaration below
    std::string text = test::ReadAll(doctype);
    text.insert(text.find("\r\n") + 2, "<!DOCTYPE NAXML-MovementReport SYSTEM \"http://x/y.dtd\">");
    dir.Write("data/TLM330202603051400001.XML", text);
    Process({cashier, ack, truncated, doctype});
    dir.Write("data/NAXML-POSJournal9.xml", "<NAXML-POSJournal>");
    Process({truncated});

    EXPECT_FALSE(Exists("CSH0305.XML"));
    EXPECT_FALSE(Exists("ACK0305.XML"));
    EXPECT_THAT(messages.log.Texts(), Contains("Removed: " + cashier));
    EXPECT_TRUE(Exists("REJECTED/NAXML-POSJournal9.xml"));
    EXPECT_TRUE(Exists("REJECTED/NAXML-POSJournal9_002.xml")) << "nothing rejected is overwritten";
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to load " + truncated + "; it was moved to " + data +
                                "REJECTED/NAXML-POSJournal9.xml.",
                            "Unable to load " + truncated + "; it was moved to " + data +
                                "REJECTED/NAXML-POSJournal9_002.xml."));
    // The declaration went, the rest of the report is as received.
    EXPECT_EQ(test::ReadAll(data + "TLMD0005.XML"),
              test::MovementReportXml("TLM", "2026-03-05", "06:00", "2026-03-05", "14:00"));
}

TEST_F(JournalProcessing, WithoutAHistoryNothingIsAssignedButTheArchiveIsStillMade) {
    fs::remove(data + "POLHISTD.001");
    test::JournalLayout layout;
    layout.events = test::EventsFrom(2, 5, 10, 0, 60);
    const std::string journal = dir.Write("data/NAXML-POSJournal.xml", test::JournalXml(layout));
    fs::create_directories(data + "03/jrn0304");
    dir.Write("data/03/jrn0304/jrn20260304100000-1-1.xml", "<e/>");
    Process({journal}, false);

    EXPECT_THAT(messages.error.Texts(), ElementsAre("Cannot open " + data + "POLHISTD.001."));
    EXPECT_TRUE(Exists("NAXML-POSJournal.xml")) << "the received file stays as it came";
    EXPECT_FALSE(Exists("03/jrn0304"));
    std::vector<std::string> names;
    zip::CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(data + "03/JRN0304.ZIP"));
    reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
        names.push_back(entry.name);
        return true;
    });
    EXPECT_THAT(names, Contains("jrn20260304100000-1-1.xml"));
}

}  // namespace
}  // namespace tw::radiant
