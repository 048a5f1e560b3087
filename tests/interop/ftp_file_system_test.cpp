// The FTP POS file system against pyftpdlib (plain FTP on loopback): what a poll relies on
// beyond moving bytes — times to the second, uploads that appear complete or not at all, and times
// set on the server.

#include "monitor/ftp_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "interop/ftp_servers.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using test::PyFtpServer;

constexpr std::time_t kStamp = 1767323045;  // 2026-01-02 03:04:05 UTC

class FtpFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(server.Start(&why)) << why;
        pos = server.Home() + "/pos";
        fs::create_directories(pos + "/sub");
    }

    std::string Url(const std::string& name = "") const {
        return std::string("ftp://") + PyFtpServer::kUser +
               "@127.0.0.1:" + std::to_string(PyFtpServer::kPort) + "/pos/" + name;
    }

    static void Stamp(const std::string& path, std::time_t when) {
        const timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    PyFtpServer server;
    test::ScratchDir local;
    std::string pos;
    FtpFileSystem ftp{Url(), "", PyFtpServer::kPassword};
};

TEST_F(FtpFileSystemTest, ListingGivesTimesToTheSecond) {
    local.Write("seed", "<sale/>");
    fs::copy_file(local.File("seed"), pos + "/JRN1.XML");
    Stamp(pos + "/JRN1.XML", kStamp);  // older than six months: LIST shows only the day
    local.Write("other", "x");
    fs::copy_file(local.File("other"), pos + "/NOTE.TXT");

    DirFileList list;
    ASSERT_TRUE(ftp.List(list, Url(), "*.XML", false)) << ftp.GetLastErrorText();
    EXPECT_EQ(list.Find("NOTE.TXT"), nullptr);
    const FileInfo* sale = list.Find("JRN1.XML");
    ASSERT_NE(sale, nullptr);
    EXPECT_FALSE(sale->isSpecial);
    EXPECT_EQ(sale->size, 7u);
    std::time_t listed = 0;
    ASSERT_TRUE(sale->modified.ToFileTime(listed));
    EXPECT_EQ(listed, kStamp);

    ASSERT_TRUE(ftp.List(list, Url(), "*", false));
    ASSERT_NE(list.Find("sub"), nullptr);
    EXPECT_TRUE(list.Find("sub")->isDirectory);
}

TEST_F(FtpFileSystemTest, UploadsReplaceTheTargetWholeAndTakeTheirTime) {
    local.Write("old", "old contents");
    fs::copy_file(local.File("old"), pos + "/MCT.XML");
    const std::string upload = local.Write("MCT.XML", std::string(300000, 'm'));

    ASSERT_TRUE(ftp.PutFile(upload, Url("MCT.XML"))) << ftp.GetLastErrorText();
    EXPECT_EQ(ReadAll(pos + "/MCT.XML"), std::string(300000, 'm'));
    for (const auto& entry : fs::directory_iterator(pos))
        EXPECT_EQ(entry.path().filename().string().find(".~tw"), std::string::npos)
            << "no temporary file is left behind";

    ftp.SetFileTime(Url("MCT.XML"), platform::OleDate::FromFileTime(kStamp));
    struct stat st {};
    ASSERT_EQ(::stat((pos + "/MCT.XML").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kStamp);

    ASSERT_TRUE(ftp.GetFile(Url("MCT.XML"), local.File("back.XML"))) << ftp.GetLastErrorText();
    EXPECT_EQ(ReadAll(local.File("back.XML")), std::string(300000, 'm'));
    ASSERT_TRUE(ftp.DeleteFile(Url("MCT.XML")));
    EXPECT_FALSE(fs::exists(pos + "/MCT.XML"));
}

TEST_F(FtpFileSystemTest, AWrongPasswordFailsTheConnection) {
    FtpFileSystem wrong(Url(), "", "not-the-password");
    EXPECT_FALSE(wrong.Connect());
    EXPECT_EQ(wrong.GetLastErrorText().rfind("530", 0), 0u) << wrong.GetLastErrorText();
}

}  // namespace
}  // namespace tw
