#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "radiant/sales_intake.h"
#include "site_fixture.h"
#include "support/memory_file_system.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

platform::OleDate At(int hour, int minute, int second = 0) {
    return platform::OleDate::FromCivil(2026, 3, 5, hour, minute, second);
}

TEST(IsNewFile, ComparesTheListedTimeWithTheStartAsItIs) {
    const platform::OleDate start = At(9, 5, 30);
    const auto entry = [](const std::string& name, const platform::OleDate& modified) {
        FileInfo info;
        info.name = name;
        info.modified = modified;
        return info;
    };
    EXPECT_FALSE(IsNewFile(entry("A.XML", At(9, 5, 30)), start)) << "the file already taken";
    EXPECT_FALSE(IsNewFile(entry("A.XML", At(9, 5, 0)), start));
    EXPECT_TRUE(IsNewFile(entry("A.XML", At(9, 5, 31)), start)) << "same minute, a second later";
    EXPECT_TRUE(IsNewFile(entry("ACK.XML", At(8, 0)), start)) << "acknowledgements always";
    EXPECT_TRUE(IsNewFile(entry("A.XML", At(8, 0)), platform::OleDate::Invalid()));
    EXPECT_TRUE(IsNewFile(entry("A.XML", platform::OleDate::Invalid()), start));
}

// Stands in for the item and results waiters.
class CountingWaiter : public Monitor::Waiter {
public:
    bool Start() override {
        ++starts;
        return startResult;
    }
    void WaitForThread() override { ++waits; }
    void Stop(bool) override {}
    int ProcessOnce() override { return 0; }
    bool IsThreadRunning() const override { return false; }
    bool IsWaitingForThread() const override { return false; }
    int starts = 0, waits = 0;
    bool startResult = true;
};

// Remembers what the destination side was given, and files it at once (the received copy
// leaves the data directory).
class RecordingProcessor : public Monitor::ProcessData {
public:
    bool Begin() override {
        received.clear();
        return true;
    }
    bool Process(const std::string& path) override {
        received.push_back(path);
        std::remove(path.c_str());
        return true;
    }
    bool End() override {
        ++ends;
        return true;
    }
    void SetStopRequested(int) override {}
    std::vector<std::string> received;
    int ends = 0;
};

class SalesIntake : public ::testing::Test {
protected:
    void Put(const std::string& path, const platform::OleDate& modified, bool isDirectory = false) {
        pos->files[path] = {isDirectory ? "" : "<x/>", modified, isDirectory};
    }
    CountedPtr<RadiantPollerFileMaskHandler> Handler(bool deleteSource, bool receiveSales = true,
                                                     bool sendItems = false) {
        auto sourceProcessor = MakeCounted<FileSystemMonitor::CopySourceFilesProcessor>(
            CountedPtr<FileSystem>(pos), deleteSource);
        auto transfer = MakeCounted<RadiantCopySalesFiles>(sourceProcessor, destination,
                                                           site.setup->LocalDataDirectory());
        return MakeCounted<RadiantPollerFileMaskHandler>(
            transfer, CountedPtr<FileSystem>(pos), CountedPtr<FileSystem>(new LocalWinFileSystem()),
            "/pos/export", "*.XML", itemWaiter, resultsWaiter, receiveSales, sendItems,
            deleteSource, secondPath, site.setup.get());
    }
    std::vector<std::string> ReceivedNames() const {
        std::vector<std::string> names;
        for (const auto& path : destination->received) {
            names.push_back(std::string(platform::FileNamePart(path)));
        }
        return names;
    }
    std::string SavedFileDateTime() const {
        const std::string setup = test::ReadAll(site.data + "SETUP.001");
        const auto at = setup.find("FileDateTime");
        return at == std::string::npos ? "" : setup.substr(at, setup.find('\n', at) - at);
    }

    test::RecordedMessages messages;
    test::TestSite site;
    CountedPtr<test::MemoryFileSystem> pos{new test::MemoryFileSystem};
    CountedPtr<RecordingProcessor> destination{new RecordingProcessor};
    CountedPtr<CountingWaiter> itemWaiter{new CountingWaiter};
    CountedPtr<CountingWaiter> resultsWaiter{new CountingWaiter};
    std::string secondPath;
};

TEST_F(SalesIntake, FilesComeOldestFirstAndFileDateTimeNeverPassesAFileNotReceived) {
    Put("/pos/export/E.XML", At(9, 20));
    Put("/pos/export/C.XML", At(9, 10));
    Put("/pos/export/D.xml", At(9, 10));
    Put("/pos/export/A.XML", At(9, 0));
    Put("/pos/export/B.XML", At(9, 5));
    Put("/pos/export/OLD.XML", At(8, 0), true);  // a directory: never taken
    Put("/pos/export/old/F.XML", At(9, 1));      // below the sales path: not listed
    site.setup->SetFileDateTime(At(8, 30));
    pos->failGetNumber = 4;  // D: received after C, which has the same time
    auto handler = Handler(false);

    // A file that cannot be copied does not stop the files after it, but FileDateTime stays
    // before it (and before C, of the same time).
    EXPECT_FALSE(handler->DoPass());
    EXPECT_THAT(ReceivedNames(), ElementsAre("A.XML", "B.XML", "C.XML", "E.XML"));
    EXPECT_EQ(destination->ends, 1);
    EXPECT_EQ(site.setup->FileDateTime(), At(9, 5));
    EXPECT_EQ(SavedFileDateTime(), "FileDateTime = 03/05/2026 09:05:00");
    ASSERT_THAT(messages.error.Texts(), SizeIs(1));
    EXPECT_THAT(messages.error.Texts()[0], HasSubstr("Unable copy /pos/export/D.xml to "));
    EXPECT_THAT(pos->deleted, IsEmpty());

    // The next pass takes C again (its time is not yet passed), what failed and what came after
    // (journal processing recognises a file filed before).
    pos->failGetNumber = 0;
    EXPECT_TRUE(handler->DoPass());
    EXPECT_THAT(ReceivedNames(), ElementsAre("C.XML", "D.xml", "E.XML"));
    EXPECT_EQ(site.setup->FileDateTime(), At(9, 20));
    EXPECT_TRUE(handler->DoPass());
    EXPECT_THAT(ReceivedNames(), IsEmpty());
    EXPECT_EQ(pos->lists, 3) << "the sales path is found without its separator";
}

TEST_F(SalesIntake, TheSecondPathKeepsAFailureAndDoesNotMoveFileDateTime) {
    Put("/pos/export/A.XML", At(9, 0));
    Put("/pos/second/X.XML", At(10, 0));
    Put("/pos/second/Y.XML", At(10, 5));
    secondPath = " /pos/second ";
    site.setup->SetFileDateTime(At(8, 30));
    pos->failGetNumber = 3;
    auto handler = Handler(false);

    EXPECT_FALSE(handler->DoPass()) << "a failure on the second path fails the pass";
    EXPECT_THAT(ReceivedNames(), ElementsAre("A.XML", "X.XML"));
    EXPECT_EQ(site.setup->FileDateTime(), At(9, 0)) << "the second path's times are not kept";
    EXPECT_THAT(messages.log.Texts(), Contains("Receiving files from 2nd path, /pos/second"));

    pos->failGetNumber = 0;
    EXPECT_TRUE(handler->DoPass());
    EXPECT_THAT(ReceivedNames(), ElementsAre("X.XML", "Y.XML"));
}

TEST_F(SalesIntake, DeletingOnThePosTakesEveryFileAndLeavesFileDateTimeAlone) {
    Put("/pos/export/A.XML", At(7, 0));
    Put("/pos/export/B.XML", At(9, 0));
    site.setup->SetFileDateTime(At(8, 30));
    auto handler = Handler(true);
    EXPECT_TRUE(handler->DoPass());
    EXPECT_THAT(ReceivedNames(), ElementsAre("A.XML", "B.XML"));
    EXPECT_THAT(pos->deleted, ElementsAre("/pos/export/A.XML", "/pos/export/B.XML"));
    EXPECT_EQ(site.setup->FileDateTime(), At(8, 30));
}

TEST_F(SalesIntake, TheWaitersRunBesideTheSalesAndAreAlwaysWaitedFor) {
    Put("/pos/export/A.XML", At(9, 0));
    auto withoutSales = Handler(false, false, false);
    EXPECT_TRUE(withoutSales->DoPass());
    EXPECT_EQ(pos->lists, 0) << "no sales are fetched";
    EXPECT_EQ(destination->ends, 0);
    EXPECT_EQ(site.setup->FileDateTime(), DefaultFileDateTime());
    EXPECT_EQ(itemWaiter->starts, 0) << "items only when sent";
    EXPECT_EQ(resultsWaiter->starts, 1);
    EXPECT_EQ(resultsWaiter->waits, 1);

    itemWaiter->startResult = false;
    EXPECT_FALSE(Handler(false, false, true)->DoPass()) << "a waiter that cannot start";
    EXPECT_EQ(itemWaiter->waits, 1);

    pos->throwInList = true;
    EXPECT_THROW(Handler(false, true, true)->DoPass(), std::runtime_error);
    EXPECT_EQ(itemWaiter->waits, 2);
    EXPECT_EQ(resultsWaiter->waits, 3);
}

}  // namespace
}  // namespace tw::radiant
