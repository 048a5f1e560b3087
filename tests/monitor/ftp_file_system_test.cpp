#include "monitor/ftp_file_system.h"

#include <gtest/gtest.h>

#include "monitor/pos_file_system.h"
#include "monitor/sftp_file_system.h"

namespace tw {
namespace {

TEST(FtpPathTest, PartsOfAnFtpAddress) {
    auto secure = ParseFtpPath("FTPS://poller@pos1.example:2121/srv/export/");
    ASSERT_TRUE(secure);
    EXPECT_TRUE(secure->secure);
    EXPECT_EQ(secure->user, "poller");
    EXPECT_EQ(secure->host, "pos1.example");
    EXPECT_EQ(secure->port, 2121);
    EXPECT_EQ(secure->path, "/srv/export/");

    auto plain = ParseFtpPath("ftp://10.0.0.5/~/export/JRN1.XML");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->secure);
    EXPECT_EQ(plain->user, "");
    EXPECT_EQ(plain->port, 21);
    EXPECT_EQ(plain->path, "export/JRN1.XML");

    for (const char* bad : {"ftp:///dir/", "ftps://host:0/", "ftp://host:70000/",
                            "sftp://host/dir/", "ftpx://host/dir/", "\\\\POS1\\Export\\"})
        EXPECT_FALSE(ParseFtpPath(bad)) << bad;
}

TEST(FtpPathTest, MdtmRepliesAreReadAsUtc) {
    EXPECT_EQ(ParseMdtmReply("213 20261207213405"), std::time_t{1796679245});
    EXPECT_EQ(ParseMdtmReply("213 20261207213405.250"), std::time_t{1796679245});
    for (const char* bad : {"550 No such file", "213 2026120721340", "213 20261307213405",
                            "213 2026120721340x", "213 20261207213405Z", ""})
        EXPECT_FALSE(ParseMdtmReply(bad)) << bad;
}

// Only plain files are ever offered as files: a link or a special file with a sales name is
// flagged, whatever it points to.
TEST(FtpPathTest, ListingLinesKeepTheirKind) {
    const auto now = platform::OleDate::FromCivil(2026, 12, 7, 12, 0);
    auto file = ReadListingLine("-rw-r--r-- 1 pos pos 4294967297 Dec  1 10:00 JRN1.XML", now);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->name, "JRN1.XML");
    EXPECT_TRUE(file->isRegular);
    EXPECT_EQ(file->size, 4294967297u);

    auto link = ReadListingLine("lrwxrwxrwx 1 pos pos 8 Dec  1 10:00 LINK.XML -> JRN1.XML", now);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->name, "LINK.XML");
    EXPECT_FALSE(link->isRegular);
    EXPECT_FALSE(link->isDirectory);
    for (const char* special : {"prw-r--r-- 1 pos pos 0 Dec  1 10:00 PIPE.XML",
                                "crw-rw-rw- 1 root root 0 Dec  1 10:00 NULL.XML"}) {
        auto entry = ReadListingLine(special, now);
        ASSERT_TRUE(entry) << special;
        EXPECT_FALSE(entry->isRegular) << special;
    }

    auto dos = ReadListingLine("12-01-26  10:00AM               7 JRN2.XML", now);
    ASSERT_TRUE(dos);
    EXPECT_TRUE(dos->isRegular);
    auto dir = ReadListingLine("drwxr-xr-x 2 pos pos 4096 Dec  1 10:00 export", now);
    ASSERT_TRUE(dir);
    EXPECT_TRUE(dir->isDirectory);
    EXPECT_FALSE(dir->isRegular);

    EXPECT_FALSE(ReadListingLine("drwxr-xr-x 2 pos pos 4096 Dec  1 10:00 ..", now));
    EXPECT_FALSE(ReadListingLine("not a listing", now));
}

// Refused before anything is sent anywhere: a path on another server, or on the same host over
// the other protocol, or one that would smuggle a second command into the control connection.
TEST(FtpPathTest, ForeignAndUnsafePathsAreRefusedBeforeConnecting) {
    FtpFileSystem fs("ftps://u@127.0.0.1:1/export/", "", "");
    EXPECT_FALSE(fs.DeleteFile("ftps://u@other.example:1/export/JRN1.XML"));
    EXPECT_NE(fs.GetLastErrorText().find("is not on the FTP server"), std::string::npos)
        << fs.GetLastErrorText();
    EXPECT_FALSE(fs.DeleteFile("ftp://u@127.0.0.1:1/export/JRN1.XML"));
    EXPECT_NE(fs.GetLastErrorText().find("is not on the FTP server"), std::string::npos);
    EXPECT_FALSE(fs.DeleteFile("/export/JRN1.XML"));
    EXPECT_FALSE(fs.DeleteFile("ftps://u@127.0.0.1:1/export/A\r\nDELE B"));
    EXPECT_EQ(fs.GetLastErrorText(), qorcom::transfer::kUnsafeArgument);
}

TEST(FtpPathTest, PosDirectoriesOverFtpGetTheFtpFileSystem) {
    PosFileSystemSettings settings;
    for (const char* path : {"ftp://u@pos1/export/", "FTPS://pos1:990/export/"}) {
        settings.salesPath = path;
        EXPECT_NE(dynamic_cast<FtpFileSystem*>(MakePosFileSystem(settings, {}, {}).Get()), nullptr)
            << path;
    }
    settings.salesPath = "sftp://u@pos1/export/";
    EXPECT_NE(dynamic_cast<SftpFileSystem*>(MakePosFileSystem(settings, {}, {}).Get()), nullptr);
}

}  // namespace
}  // namespace tw
