#include <sys/stat.h>

#include <gtest/gtest.h>

#include "interop/smb_server.h"
#include "monitor/file_system_monitor.h"
#include "monitor/smb_file_system.h"
#include "platform/file_ops.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using test::SmbServer;

// One server for the whole program: starting smbd per test would cost seconds each.
class SmbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!server.Start(&why))
            server.Stop();
        else
            running = true;
    }
    void TearDown() override { server.Stop(); }
    SmbServer server;
    std::string why;
    bool running = false;
};

SmbEnvironment* environment = nullptr;

class SmbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!environment->running)
            GTEST_SKIP() << environment->why;
    }
    // A file on the share, written directly into the directory behind it.
    std::string Seed(const std::string& name, const std::string& content, std::time_t when) {
        const std::string path = environment->server.ShareDirectory() + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        platform::SetModificationTime(path, when, nullptr);
        return path;
    }
    std::string Share() const { return SmbServer::UncRoot(); }

    test::RecordedMessages messages;
    test::ScratchDir local;
};

TEST_F(SmbTest, LogOnListGetPutDeleteAndSetTime) {
    test::ScopedTimeZone zone("America/Chicago");
    SmbFileSystem fs(Share(), std::string("WORKGROUP\\") + SmbServer::kUser, SmbServer::kPassword);
    ASSERT_TRUE(fs.Connect()) << fs.GetLastErrorText();
    ASSERT_TRUE(fs.CreateDirectory(Share() + "Export"));
    Seed("Export/JRN1.XML", "<journal/>", 1768465815);
    Seed("Export/notes.txt", "n", 1768465815);

    DirFileList list;
    ASSERT_TRUE(fs.List(list, Share() + "Export\\", "*.xml", false)) << fs.GetLastErrorText();
    ASSERT_EQ(list.Size(), 1u);
    const FileInfo& info = *list.Find("JRN1.XML");
    EXPECT_EQ(info.size, 10u);
    EXPECT_EQ(info.modified.Format(), "01/15/2026 02:30:15") << "listed in local time";

    ASSERT_TRUE(fs.GetFile(info.Path(), local.File("got.xml"))) << fs.GetLastErrorText();
    EXPECT_EQ(test::ReadAll(local.File("got.xml")), "<journal/>");

    local.Write("MCT.XML", "<maintenance/>");
    ASSERT_TRUE(fs.PutFile(local.File("MCT.XML"), Share() + "Export\\MCT.XML"));
    ASSERT_TRUE(fs.PutFile(local.File("MCT.XML"), Share() + "Export\\MCT.XML")) << "replaces";
    EXPECT_EQ(test::ReadAll(environment->server.ShareDirectory() + "/Export/MCT.XML"),
              "<maintenance/>");
    fs.SetFileTime(Share() + "Export\\", "MCT.XML",
                   platform::OleDate::FromCivil(2026, 1, 15, 2, 30, 15));
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StatPath(environment->server.ShareDirectory() + "/Export/MCT.XML", entry,
                                   nullptr));
    EXPECT_EQ(entry.modified, 1768465815);

    ASSERT_TRUE(fs.List(list, Share() + "Export\\", "", false));
    EXPECT_EQ(list.Size(), 5u) << "no temporary upload left; '.' and '..' listed";
    EXPECT_TRUE(fs.DeleteFile(Share() + "Export\\MCT.XML"));
    EXPECT_FALSE(fs.DeleteFile(Share() + "Export\\MCT.XML"));
    EXPECT_FALSE(fs.GetLastErrorText().empty());
}

TEST_F(SmbTest, WrongPasswordGivesTheLogOnMessage) {
    SmbFileSystem fs(Share(), SmbServer::kUser, "wrong");
    EXPECT_FALSE(fs.Connect());
    EXPECT_EQ(fs.GetLastErrorText().rfind("Unable to establish network connection.  Error ", 0), 0u)
        << fs.GetLastErrorText();
    SmbFileSystem noUser(Share(), "", "");
    EXPECT_TRUE(noUser.Connect()) << "without a user name no log-on is made";
}

TEST_F(SmbTest, MonitorMovesXmlFilesFromTheShareDeletingTheSources) {
    using namespace FileSystemMonitor;
    const std::string shareDir = environment->server.ShareDirectory() + "/Sales";
    ::mkdir(shareDir.c_str(), 0777);
    ::chmod(shareDir.c_str(), 0777);
    Seed("Sales/JRN1.XML", "one", 1768465815);
    Seed("Sales/mvt2.xml", "two", 1768465000);
    Seed("Sales/keep.txt", "three", 1768465000);

    auto source =
        CountedPtr<FileSystem>(new SmbFileSystem(Share(), SmbServer::kUser, SmbServer::kPassword));
    auto destination = CountedPtr<FileSystem>(new LocalWinFileSystem());
    auto copy = CountedPtr<TransferFiles>(new CopyFiles(
        CountedPtr<Monitor::ProcessData>(new CopySourceFilesProcessor(source, true)),
        CountedPtr<Monitor::ProcessData>(new CopyDestinationFilesProcessor(destination)),
        local.Path() + "/"));
    FileMaskHandler handler(copy, source, destination, Share() + "Sales\\", "*.XML");
    handler.connectSourceEachPass = true;
    ASSERT_TRUE(handler.Process())
        << (messages.error.Texts().empty() ? "" : messages.error.Texts()[0]);

    EXPECT_EQ(test::ReadAll(local.File("JRN1.XML")), "one");
    EXPECT_EQ(test::ReadAll(local.File("mvt2.xml")), "two");
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StatPath(local.File("JRN1.XML"), entry, nullptr));
    EXPECT_EQ(entry.modified, 1768465815) << "the copy keeps the POS file's time";
    struct stat st {};
    EXPECT_NE(::stat((shareDir + "/JRN1.XML").c_str(), &st), 0) << "source deleted";
    EXPECT_NE(::stat((shareDir + "/mvt2.xml").c_str(), &st), 0);
    EXPECT_EQ(::stat((shareDir + "/keep.txt").c_str(), &st), 0);
    EXPECT_EQ(messages.log.Texts().size(), 2u);
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tw::environment = new tw::SmbEnvironment;
    ::testing::AddGlobalTestEnvironment(tw::environment);
    return RUN_ALL_TESTS();
}
