#include "monitor/sftp_file_system.h"

#include <gtest/gtest.h>

#include "monitor/pos_file_system.h"

namespace tw {
namespace {

TEST(SftpPathTest, PartsOfAnSftpAddress) {
    auto full = ParseSftpPath("SFTP://poller@pos1.example:2222/srv/export/");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->user, "poller");
    EXPECT_EQ(full->host, "pos1.example");
    EXPECT_EQ(full->port, 2222);
    EXPECT_EQ(full->path, "/srv/export/");

    auto plain = ParseSftpPath("sftp://10.0.0.5/~/export/JRN1.XML");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->user, "");
    EXPECT_EQ(plain->port, 22);
    EXPECT_EQ(plain->path, "export/JRN1.XML");

    auto v6 = ParseSftpPath("sftp://u@[::1]:42022/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 42022);

    for (const char* bad : {"sftp:///dir/", "sftp://host:0/", "sftp://host:70000/",
                            "sftp://host:22x/", "ftp://host/dir/", "\\\\POS1\\Export\\"})
        EXPECT_FALSE(ParseSftpPath(bad)) << bad;
}

// A path on another server than the site's is refused before anything is sent anywhere.
TEST(SftpPathTest, PathsOnAnotherServerAreRefused) {
    SftpFileSystem fs("sftp://u@127.0.0.1:1/export/", "", "",
                      platform::SshSettings{"/nonexistent/known_hosts", "", true, "", {}});
    EXPECT_FALSE(fs.DeleteFile("sftp://u@other.example:1/export/JRN1.XML"));
    EXPECT_NE(fs.GetLastErrorText().find("is not on the SFTP server"), std::string::npos)
        << fs.GetLastErrorText();
    EXPECT_FALSE(fs.DeleteFile("/export/JRN1.XML"));
}

TEST(SftpPathTest, PosDirectoriesOverSftpGetTheSftpFileSystem) {
    PosFileSystemSettings settings;
    settings.salesPath = "sftp://u@pos1/export/";
    auto fs = MakePosFileSystem(settings, {}, {});
    EXPECT_NE(dynamic_cast<SftpFileSystem*>(fs.Get()), nullptr);
}

}  // namespace
}  // namespace tw
