// The sales path as a back office lives with it: passes that fail half-way, exports that do not
// look like the sample, a POS directory holding what it should not. Each case runs whole polls
// of a test site over real directories.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "journal_builder.h"
#include "platform/file_ops.h"
#include "radiant/sales_intake.h"
#include "site_fixture.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

class SalesRecovery : public ::testing::Test {
protected:
    SalesRecovery() { site.setup->deletePOSSourceFile = true; }

    // A file in the POS's export directory, with a modification time when given.
    std::string Export(const std::string& name, const std::string& content, std::time_t when = 0) {
        const std::string path = site.dir.Write("pos/export/" + name, content);
        if (when != 0) {
            EXPECT_TRUE(platform::SetModificationTime(path, when, nullptr));
        }
        return path;
    }
    // A journal of the period 06:00 on 5 March to endDate endTime: events one a minute from
    // day, hour:minute.
    static std::string Journal(int events, int day, int hour, int firstTransaction,
                               const std::string& endDate, const std::string& endTime,
                               int minute = 0) {
        test::JournalLayout layout;
        layout.beginDate = "2026-03-05";
        layout.beginTime = "06:00:00";
        layout.endDate = endDate;
        layout.endTime = endTime;
        layout.events = test::EventsFrom(events, day, hour, minute, 60, firstTransaction);
        return test::JournalXml(layout);
    }
    std::set<std::string> Names(const std::string& folder) const {
        std::set<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            names.insert(it->path().filename().string());
        }
        return names;
    }
    bool InData(const std::string& name) const { return fs::exists(site.data + name); }
    std::string ReadData(const std::string& name) const { return test::ReadAll(site.data + name); }

    test::RecordedMessages messages;
    test::TestSite site;
};

// A pass that cannot file what it received (the history is missing, say) leaves the files in
// the data directory; the next pass files them before it fetches anything.
TEST_F(SalesRecovery, FilesLeftByAFailedPassAreFiledByTheNextOne) {
    Export("NAXML-POSJournal20260305140000.XML",
           Journal(12, 5, 9, 100001, "2026-03-05", "14:00:00"));
    Export("MSM33020260305140000.XML",
           test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"));
    fs::rename(site.data + "POLHISTD.001", site.dir.File("history.aside"));
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), Contains(HasSubstr("POLHISTD.001")));
    EXPECT_THAT(Names(site.pos), IsEmpty()) << "received durably: the POS copies went";
    EXPECT_TRUE(InData("NAXML-POSJournal20260305140000.XML"));

    fs::rename(site.dir.File("history.aside"), site.data + "POLHISTD.001");
    messages.error.Clear();
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_TRUE(InData("JRND0001.XML"));
    EXPECT_TRUE(InData("MSMD0001.XML"));
    EXPECT_FALSE(InData("NAXML-POSJournal20260305140000.XML"));
    EXPECT_FALSE(InData("MSM33020260305140000.XML"));
    EXPECT_FALSE(InData("RECEIVED.001")) << "nothing is left to take up";
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(12));
}

// A journal is filed only when every event is written: one whose events could not all be
// saved stays, reported, and is split again once they can be.
TEST_F(SalesRecovery, AJournalIsFiledOnlyWhenAllItsEventsAreWritten) {
    // 12 events from 23:55 on 5 March: the last seven belong to the day folder of the 6th,
    // where a file stands in the way.
    Export("NAXML-POSJournal20260306020000.XML",
           Journal(12, 5, 23, 100001, "2026-03-06", "02:00:00", 55));
    site.dir.Write("site001/03/jrn0306", "in the way");
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), Contains(HasSubstr("Save file ")));
    EXPECT_THAT(messages.error.Texts(),
                Contains(HasSubstr("NAXML-POSJournal20260306020000.XML is not filed")));
    EXPECT_FALSE(InData("JRND0001.XML"));
    EXPECT_TRUE(InData("NAXML-POSJournal20260306020000.XML"));

    fs::remove(site.data + "03/jrn0306");
    messages.error.Clear();
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_TRUE(InData("JRND0001.XML"));
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(12));
}

// Journals whose periods the history does not know all take the next sequence number; each
// is filed there, and what a slot file held goes to REPLACED/, never away. An event whose IDs
// make no file name is reported, and its journal is kept whole.
TEST_F(SalesRecovery, JournalsSharingASlotNeverDestroyEachOther) {
    std::string first = Journal(3, 5, 9, 100001, "2026-03-05", "14:00:00");
    first.replace(first.find("<TransactionID>100002</TransactionID>"),
                  std::string("<TransactionID>100002</TransactionID>").size(),
                  "<TransactionID>10/02</TransactionID>");
    const std::string second = Journal(3, 5, 15, 200001, "2026-03-05", "22:00:00");
    Export("NAXML-POSJournal20260305140000.XML", first, 1772900000);
    Export("NAXML-POSJournal20260305220000.XML", second, 1772900060);
    test::PollSite(site);

    EXPECT_EQ(ReadData("JRND0001.XML"), second);
    EXPECT_EQ(ReadData("REPLACED/JRND0001.XML"), first);
    EXPECT_THAT(messages.error.Texts(),
                Contains(AllOf(HasSubstr("10/02"), HasSubstr("it was not split"))));
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(5));
}

TEST_F(SalesRecovery, AFileReceivedAgainIsNotFiledTwice) {
    site.setup->deletePOSSourceFile = false;
    // A journal of a period without movement reports, then a report of a later period that
    // takes the next sequence number for good.
    Export("NAXML-POSJournal20260305140000.XML", Journal(4, 5, 9, 100001, "2026-03-05", "14:00:00"),
           1772900000);
    Export("MSM33020260305220000.XML",
           test::MovementReportXml("MSM", "2026-03-05", "14:00", "2026-03-05", "22:00"),
           1772900060);
    test::PollSite(site);
    const auto filed = Names(site.data);
    ASSERT_THAT(filed, AllOf(Contains("JRND0001.XML"), Contains("MSMD0001.XML")));

    // FileDateTime reset (the settings dialog offers it): everything comes again.
    site.setup->SetFileDateTime(DefaultFileDateTime());
    test::PollSite(site);
    EXPECT_EQ(Names(site.data), filed);
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(4));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

// With the POS copies kept, FileDateTime never passes a file that was not received whole: the
// journal the POS was still writing is fetched again once it is finished, even in the same
// second.
TEST_F(SalesRecovery, AJournalCutShortIsFetchedAgainWhenTheCopiesAreKept) {
    site.setup->deletePOSSourceFile = false;
    const std::string journal = Journal(10, 5, 9, 100001, "2026-03-05", "14:00:00");
    const std::time_t written = 1772900000;
    Export("MSM33020260305140000.XML",
           test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"),
           written - 60);
    Export("NAXML-POSJournal20260305140000.XML", journal.substr(0, journal.size() / 2), written);
    test::PollSite(site);
    EXPECT_TRUE(InData("MSMD0001.XML"));
    EXPECT_THAT(test::EventFileNames(site.data), IsEmpty());

    Export("NAXML-POSJournal20260305140000.XML", journal, written);
    test::PollSite(site);
    EXPECT_EQ(ReadData("JRND0001.XML"), journal);
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(10));
}

// A journal that needs the declarations of its document type cannot do without them: it goes to
// REJECTED/ exactly as received.
TEST_F(SalesRecovery, AJournalUsingItsDocumentTypeIsKeptAsReceived) {
    std::string journal = Journal(2, 5, 9, 100001, "2026-03-05", "14:00:00");
    journal.insert(journal.find('\n') + 1,
                   "<!DOCTYPE NAXML-POSJournal [<!ENTITY store \"0001\">]>\n");
    const std::string store = "<StoreLocationID>0001";
    journal.replace(journal.find(store), store.size(), "<StoreLocationID>&store;");
    Export("NAXML-POSJournal20260305140000.XML", journal);
    test::PollSite(site);
    EXPECT_EQ(ReadData("REJECTED/NAXML-POSJournal20260305140000.XML"), journal);
    EXPECT_THAT(messages.error.Texts(), SizeIs(1));
}

// Elements are known by their local names: a journal whose elements carry a prefix is split,
// and a file whose document element is a journal is a journal, whatever its name.
TEST_F(SalesRecovery, JournalsAreKnownByTheirElementsNotByPrefixesOrNames) {
    std::string prefixed = Journal(3, 5, 9, 100001, "2026-03-05", "14:00:00");
    for (std::size_t at = 0; (at = prefixed.find('<', at)) != std::string::npos; ++at) {
        const std::size_t name = prefixed[at + 1] == '/' ? at + 2 : at + 1;
        if (prefixed[name] != '?' && prefixed.compare(name, 8, "radiant:") != 0)
            prefixed.insert(name, "n:");
    }
    prefixed.replace(prefixed.find("xmlns=\""), 7, "xmlns:n=\"");
    Export("NAXML-POSJournal20260305140000.XML", prefixed, 1772900000);
    Export("DAY20260305.XML", Journal(2, 5, 10, 200001, "2026-03-05", "14:00:00"), 1772900060);
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_THAT(test::EventFileNames(site.data), SizeIs(5));
    EXPECT_TRUE(InData("DAYD0001.XML")) << "filed, not deleted as unknown";
}

TEST_F(SalesRecovery, AMissingPosDirectoryIsAFailureAnEmptyOneIsNot) {
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    site.setup->salesPath = site.dir.File("pos/gone");
    test::PollSite(site);
    EXPECT_THAT(messages.error.Texts(), SizeIs(1));
}

// Names from the POS are one file name in the data directory and nothing else: never split at
// ";", never a path, never a back-office file's name. A file that cannot be taken is reported on
// every pass, does not stop the files after it, and keeps FileDateTime before it.
TEST_F(SalesRecovery, PosNamesAreNeverSplitInterpretedOrTakenForBackOfficeFiles) {
    site.setup->deletePOSSourceFile = false;
    const std::string report =
        test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00");
    Export("BAD\\NAME.XML", report, 1772900000);
    Export("ITT.XML", "<NAXML-MaintenanceRequest/>", 1772900030);
    Export("MSM330;CWD.XML", report, 1772900060);
    const std::string here = fs::current_path().string();
    fs::current_path(site.dir.Path());
    test::PollSite(site);
    test::PollSite(site);
    fs::current_path(here);

    EXPECT_FALSE(fs::exists(site.dir.File("CWD.XML"))) << "nothing in the working directory";
    EXPECT_EQ(ReadData("MSMD0001.XML"), report);
    EXPECT_FALSE(InData("ITT.XML"));
    EXPECT_THAT(messages.error.Texts(), SizeIs(4)) << "the two names, on each pass";
    EXPECT_THAT(messages.error.Texts(), Contains(HasSubstr("BAD\\NAME.XML is not received")));
    EXPECT_LT(site.setup->FileDateTime().DaysSince(platform::OleDate::FromFileTime(1772900000)),
              0.0);
}

// Only regular files are read from the POS: a FIFO would block the pass for ever (the thread
// below stands in for a writer, so that a reader never waits for good), a link would bring in
// whatever it points to.
TEST_F(SalesRecovery, OnlyRegularFilesAreReadFromThePos) {
    const std::string secret = site.dir.Write("secret.txt", "root:x:0:0");
    fs::create_directories(site.pos);
    fs::create_symlink(secret, site.pos + "/P.XML");
    ASSERT_EQ(::mkfifo((site.pos + "/F.XML").c_str(), 0600), 0);
    Export("MSM33020260305140000.XML",
           test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) {
            const int fd = ::open((site.pos + "/F.XML").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    test::PollSite(site);
    done = true;
    writer.join();

    EXPECT_TRUE(InData("MSMD0001.XML"));
    EXPECT_THAT(Names(site.data + "REJECTED"), IsEmpty());
    EXPECT_THAT(messages.error.Texts(), Contains(HasSubstr("F.XML is not received")));
    EXPECT_THAT(messages.error.Texts(), Contains(HasSubstr("P.XML is not received")));
    EXPECT_TRUE(fs::is_symlink(site.pos + "/P.XML"));
}

// With the POS copies kept, FileDateTime says which files were taken; in the repeated hour of
// the autumn clock change a file written later can show an earlier local time, and must not be
// passed over.
TEST(IsNewFileAtTheClockChange, AFileWrittenAfterTheRepeatedHourBeganIsNew) {
    test::ScopedTimeZone chicago("America/Chicago");
    // 1 November 2026, 01:50 CDT is 06:50 UTC; 01:10 CST, twenty minutes later, is 07:10 UTC.
    const platform::OleDate start = platform::OleDate::FromFileTime(1793515800);
    ASSERT_EQ(start.Format(), "11/01/2026 01:50:00");
    FileInfo later;
    later.name = "MSM33020261101011000.XML";
    later.modified = platform::OleDate::FromFileTime(1793517000);
    ASSERT_EQ(later.modified.Format(), "11/01/2026 01:10:00");
    EXPECT_TRUE(IsNewFile(later, start));

    FileInfo earlier = later;
    earlier.modified = platform::OleDate::FromFileTime(1793512200);  // 00:50 CDT
    EXPECT_FALSE(IsNewFile(earlier, start));
}

// A run with /GETSALES or /SENDITEMS changes SendItems and ReceiveSales for itself only: moving
// FileDateTime writes that key and no other.
TEST_F(SalesRecovery, OnlyFileDateTimeIsWrittenBackToTheSettings) {
    site.setup->deletePOSSourceFile = false;
    site.setup->sendItems = true;
    ASSERT_TRUE(site.setup->SaveSettings());
    const std::string before = ReadData("SETUP.001");
    site.setup->sendItems = false;  // what /GETSALES does for its run
    Export("MSM33020260305140000.XML",
           test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"),
           1772900000);
    test::PollSite(site);

    const std::string after = ReadData("SETUP.001");
    EXPECT_THAT(after, HasSubstr("SendItems = TRUE"));
    const auto line = [](const std::string& text) {
        const auto at = text.find("FileDateTime");
        return text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_NE(line(after), line(before));
    std::string expected = before;
    expected.replace(expected.find(line(before)), line(before).size(), line(after));
    EXPECT_EQ(after, expected) << "every other byte as it was";
}

}  // namespace
}  // namespace tw::radiant
