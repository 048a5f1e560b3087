#include <gtest/gtest.h>

#include "monitor/file_system_monitor.h"
#include "support/memory_file_system.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::FileSystemMonitor {
namespace {

using test::MemoryFileSystem;

// Records the calls a transfer makes on it.
class RecordingProcessor : public Monitor::ProcessData {
public:
    explicit RecordingProcessor(std::vector<std::string>* log, std::string tag)
        : log_(log), tag_(std::move(tag)) {}
    bool Begin() override {
        log_->push_back(tag_ + ":begin");
        return true;
    }
    bool Process(const std::string& name) override {
        log_->push_back(tag_ + ":" + name);
        return true;
    }
    bool End() override {
        log_->push_back(tag_ + ":end");
        return true;
    }
    void SetStopRequested(int) override {}

private:
    std::vector<std::string>* log_;
    std::string tag_;
};

class CopyTest : public ::testing::Test {
protected:
    CopyTest() {
        source = new MemoryFileSystem;
        destination = new MemoryFileSystem;
        sourceFs = CountedPtr<FileSystem>(source);
        destinationFs = CountedPtr<FileSystem>(destination);
    }

    // A handler moving "/pos/*.XML" to destinationDir, deleting sources that arrived.
    CountedPtr<FileMaskHandler> Handler(const std::string& destinationDir, bool unique = false) {
        auto sourceProcessor =
            CountedPtr<Monitor::ProcessData>(new CopySourceFilesProcessor(sourceFs, true));
        auto destinationProcessor =
            CountedPtr<Monitor::ProcessData>(new CopyDestinationFilesProcessor(destinationFs));
        auto copy = CountedPtr<TransferFiles>(new CopyFiles(sourceProcessor, destinationProcessor,
                                                            destinationDir, false, false, unique));
        auto handler = CountedPtr<FileMaskHandler>(
            new FileMaskHandler(copy, sourceFs, destinationFs, "/pos/", "*.XML"));
        handler->connectSourceEachPass = true;
        handler->connectDestinationEachPass = true;
        return handler;
    }

    test::ScratchDir tmp;
    test::ScopedEnv tmpdir{"TMPDIR", tmp.Path()};
    test::RecordedMessages messages;
    MemoryFileSystem* source;
    MemoryFileSystem* destination;
    CountedPtr<FileSystem> sourceFs, destinationFs;
};

TEST_F(CopyTest, MovesMatchingFilesAndDeletesSourcesAfterDelivery) {
    source->files["/pos/JRN1.XML"].content = "journal";
    source->files["/pos/empty.xml"].content = "";
    source->files["/pos/notes.txt"].content = "n";
    source->files["/pos/dir.XML"].isDirectory = true;
    auto handler = Handler("/bo/");
    ASSERT_TRUE(handler->Process());
    EXPECT_EQ(destination->files.size(), 1u);
    EXPECT_EQ(destination->files["/bo/JRN1.XML"].content, "journal");
    EXPECT_EQ(source->deleted, std::vector<std::string>{"/pos/JRN1.XML"});
    EXPECT_EQ(messages.log.Texts(), std::vector<std::string>{"Transfered /bo/JRN1.XML."});
    EXPECT_EQ(source->connected, false);
    EXPECT_EQ(destination->disconnects, 1);
    DirFileList leftovers;
    LocalWinFileSystem().List(leftovers, tmp.Path() + "/", "FS*", false);
    EXPECT_TRUE(leftovers.Empty()) << "temporary copies must not be left behind";
}

TEST_F(CopyTest, SourceStaysUnlessEveryDestinationGotTheFile) {
    // A transfer that delivers every file to two places.
    class TwoPlaces : public CopyFiles {
    public:
        using CopyFiles::CopyFiles;
        std::string MakeDestinationPath(FileSystem&, FileSystem&, const FileInfo& file) override {
            return "/bo/" + file.name + ";/backup/" + file.name;
        }
    };
    source->files["/pos/A.XML"].content = "a";
    destination->failPutNumber = 2;  // the second of two destinations fails
    auto copy = CountedPtr<TransferFiles>(new TwoPlaces(
        CountedPtr<Monitor::ProcessData>(new CopySourceFilesProcessor(sourceFs, true)),
        CountedPtr<Monitor::ProcessData>(new CopyDestinationFilesProcessor(destinationFs)), ""));
    FileMaskHandler handler(copy, sourceFs, destinationFs, "/pos/", "*.XML");
    EXPECT_FALSE(handler.Process());
    EXPECT_TRUE(source->deleted.empty());
    EXPECT_EQ(messages.log.Texts(), std::vector<std::string>{"Transfered /bo/A.XML."});
    EXPECT_EQ(messages.error.Texts(),
              std::vector<std::string>{"Unable copy /pos/A.XML to /backup/A.XML, last error: "
                                       "There is not enough space on the disk."});
}

TEST_F(CopyTest, FailedReadStopsThePassAndKeepsEveryFileAtTheSource) {
    source->files["/pos/A.XML"].content = "a";
    source->files["/pos/B.XML"].content = "b";
    source->failGetNumber = 1;
    EXPECT_FALSE(Handler("/bo/")->Process());
    EXPECT_TRUE(source->deleted.empty());
    ASSERT_EQ(messages.error.Texts().size(), 1u);
    EXPECT_EQ(messages.error.Texts()[0].rfind("Unable copy /pos/", 0), 0u);
    EXPECT_NE(messages.error.Texts()[0].find(tmp.Path() + "/FS"), std::string::npos);
    EXPECT_NE(messages.error.Texts()[0].find(", last error: The network name cannot be found."),
              std::string::npos);
    DirFileList leftovers;
    LocalWinFileSystem().List(leftovers, tmp.Path() + "/", "FS*", false);
    EXPECT_TRUE(leftovers.Empty());
}

TEST_F(CopyTest, FailureWithoutASystemErrorHasNoLastErrorPart) {
    source->files["/pos/A.XML"].content = "a";
    destination->failPutNumber = 1;
    destination->putErrorText = "The operation completed successfully.";
    EXPECT_FALSE(Handler("/bo/")->Process());
    EXPECT_EQ(messages.error.Texts(),
              std::vector<std::string>{"Unable copy /pos/A.XML to /bo/A.XML"});
}

TEST_F(CopyTest, UniqueNamesCountUpAndIgnoreWildcardLookalikes) {
    source->files["/pos/A.XML"].content = "new";
    destination->files["/bo/A.XML"].content = "1";
    destination->files["/bo/a_002.xml"].content = "2";
    ASSERT_TRUE(Handler("/bo/", true)->Process());
    EXPECT_EQ(destination->files["/bo/A_003.XML"].content, "new");

    // A name holding '*' or '?' must not be taken for an existing other file.
    CopyFiles copy({}, {}, "/bo/", false, false, true);
    destination->files["/bo/AB.XML"].content = "x";
    EXPECT_EQ(copy.MakeUniqueName("/bo/A?.XML", *destination), "/bo/A?.XML");
    EXPECT_EQ(copy.MakeUniqueName("/b.o/NODOT", *destination), "/b.o/NODOT");
    destination->files["/b.o/NODOT"].content = "x";
    EXPECT_EQ(copy.MakeUniqueName("/b.o/NODOT", *destination), "/b.o/NODOT_002");
}

TEST_F(CopyTest, ThrowingListStillDisconnectsAndEndFollowsBegin) {
    std::vector<std::string> calls;
    auto copy = CountedPtr<TransferFiles>(new CopyFiles(
        CountedPtr<Monitor::ProcessData>(new RecordingProcessor(&calls, "src")), {}, "/bo/"));
    FileMaskHandler handler(copy, sourceFs, destinationFs, "/pos/", "*.XML");
    handler.connectSourceEachPass = handler.connectDestinationEachPass = true;
    source->throwInList = true;
    EXPECT_THROW(handler.Process(), std::runtime_error);
    EXPECT_EQ(source->disconnects, 1);
    EXPECT_EQ(destination->disconnects, 1);

    source->throwInList = false;
    source->files["/pos/A.XML"].content = "a";
    calls.clear();
    EXPECT_TRUE(handler.Process());
    EXPECT_EQ(calls, (std::vector<std::string>{"src:begin", "src:/pos/A.XML", "src:end"}));
}

TEST_F(CopyTest, ConnectionFailureFailsThePassWithoutListingAndIsReported) {
    destination->failConnect = true;
    auto handler = Handler("/bo/");
    EXPECT_FALSE(handler->Process());
    EXPECT_EQ(source->lists, 0);
    EXPECT_EQ(messages.error.Texts(),
              std::vector<std::string>{"Unable to establish network connection.  Error 53.  x"});
    EXPECT_EQ(source->disconnects, 1);
}

TEST_F(CopyTest, ItemCopiesReportAnExistingDestination) {
    destination->files["/pos-in/MCT.XML"].content = "old";
    PollerCopyItemFiles copy({}, {}, "/pos-in/", false, true, false);
    FileInfo file;
    file.directory = "/bo/";
    file.name = "MCT.XML";
    file.size = 3;
    EXPECT_FALSE(copy.ShouldTransfer(*source, file, *destination));
    EXPECT_EQ(messages.error.Texts(), std::vector<std::string>{"/pos-in/MCT.XML already exists."});
}

TEST_F(CopyTest, FileTimesAreSetWhenASideDoesNotKeepThem) {
    source->files["/pos/A.XML"].content = "a";
    source->files["/pos/A.XML"].modified = platform::OleDate::FromCivil(2025, 5, 5, 5, 5, 5);
    destination->keepsTimes = false;
    ASSERT_TRUE(Handler("/bo/")->Process());
    EXPECT_EQ(destination->files["/bo/A.XML"].modified.Format(), "05/05/2025 05:05:05");
}

}  // namespace
}  // namespace tw::FileSystemMonitor
