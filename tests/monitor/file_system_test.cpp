#include <sys/stat.h>

#include <gtest/gtest.h>

#include "monitor/file_system.h"
#include "platform/file_ops.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

class LocalFileSystemTest : public ::testing::Test {
protected:
    std::string Dir() const { return dir.Path() + "/"; }
    test::ScratchDir dir;
    test::RecordedMessages messages;
    LocalWinFileSystem fs;
};

TEST_F(LocalFileSystemTest, ListsDirectoriesDotEntriesAndMatchesMasksIgnoringCase) {
    dir.Write("jrn.xml", "a");
    dir.Write("MOVE.XML", "bb");
    dir.Write("notes.txt", "c");
    dir.Write("sub/inner.xml", "d");
    DirFileList list;
    ASSERT_TRUE(fs.List(list, Dir(), "*.XML", false));
    EXPECT_EQ(list.Size(), 2u);
    ASSERT_NE(list.Find("jrn.xml"), nullptr);
    EXPECT_EQ(list.Find("MOVE.XML")->size, 2u);
    EXPECT_EQ(list.Find("MOVE.XML")->directory, Dir());
    EXPECT_EQ(list.Directory(), Dir());

    ASSERT_TRUE(fs.List(list, Dir(), "", false));
    EXPECT_EQ(list.Size(), 6u);  // 3 files, sub, ".", ".."
    EXPECT_TRUE(list.Find(".")->isDirectory);
    EXPECT_TRUE(list.Find("..")->isDirectory);
    EXPECT_TRUE(list.Find("sub")->isDirectory);
}

TEST_F(LocalFileSystemTest, EmptyMatchIsSilentButAMissingDirectoryIsReported) {
    DirFileList list;
    EXPECT_FALSE(fs.List(list, Dir(), "ILG*.XML", false));
    EXPECT_EQ(fs.GetLastErrorText(), "");
    EXPECT_TRUE(messages.log.Texts().empty());

    const std::string missing = Dir() + "gone/";
    EXPECT_FALSE(fs.List(list, missing, "*.XML", false));
    const std::string expected =
        "Error finding file matching " + missing + "*.XML.  Error 2: No such file or directory";
    EXPECT_EQ(fs.GetLastErrorText(), expected);
    EXPECT_EQ(messages.log.Texts(), std::vector<std::string>{expected});
}

TEST_F(LocalFileSystemTest, StoredWindowsPathsGoThroughTheResolver) {
    platform::PathResolver resolver;
    resolver.AddMapping("C:", dir.Path());
    LocalWinFileSystem mapped(resolver);
    dir.Write("POS/Export/JRN1.XML", "x");
    DirFileList list;
    ASSERT_TRUE(mapped.List(list, "C:\\POS\\Export\\", "*.xml", false));
    EXPECT_EQ(list.Find("JRN1.XML")->Path(), "C:\\POS\\Export\\JRN1.XML");
    ASSERT_TRUE(mapped.GetFile("C:\\POS\\Export\\JRN1.XML", dir.File("copy.xml")));
    EXPECT_EQ(test::ReadAll(dir.File("copy.xml")), "x");
    EXPECT_FALSE(mapped.DeleteFile("D:\\x"));
    EXPECT_NE(mapped.GetLastErrorText().find("D:"), std::string::npos);
}

TEST_F(LocalFileSystemTest, CopiesKeepTheModificationTimeAndReplaceAtomically) {
    const auto source = dir.Write("src.xml", "new");
    ASSERT_TRUE(platform::SetModificationTime(source, 1768465815, nullptr));
    const auto target = dir.Write("out/dst.xml", "old");
    ASSERT_TRUE(fs.PutFile(source, target));
    EXPECT_EQ(test::ReadAll(target), "new");
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StatPath(target, entry, nullptr));
    EXPECT_EQ(entry.modified, 1768465815);
    DirFileList list;
    fs.List(list, dir.Path() + "/out/", "", false);
    EXPECT_EQ(list.Size(), 3u) << "no temporary file left beside the target";

    // A failed copy leaves the old target as it was.
    EXPECT_FALSE(fs.PutFile(dir.File("missing.xml"), target));
    EXPECT_EQ(test::ReadAll(target), "new");
    fs.List(list, dir.Path() + "/out/", "", false);
    EXPECT_EQ(list.Size(), 3u);
}

TEST_F(LocalFileSystemTest, SetFileTimeAndDeleteAndCreate) {
    test::ScopedTimeZone zone("America/Chicago");
    const auto path = dir.Write("a.xml", "x");
    fs.SetFileTime(Dir(), "a.xml", platform::OleDate::FromCivil(2026, 1, 15, 2, 30, 15));
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StatPath(path, entry, nullptr));
    EXPECT_EQ(entry.modified, 1768465815);
    EXPECT_TRUE(fs.CreateDirectory(Dir() + "new"));
    EXPECT_FALSE(fs.CreateDirectory(Dir() + "new"));
    EXPECT_NE(fs.GetLastErrorText().find("File exists"), std::string::npos);
    EXPECT_TRUE(fs.DeleteFile(path));
    EXPECT_FALSE(fs.DeleteFile(path));
}

class ListingTimes : public ::testing::TestWithParam<const char*> {};

TEST_P(ListingTimes, ListingReportsModificationInLocalTime) {
    test::ScratchDir dir;
    test::ScopedTimeZone zone(GetParam());
    const auto path = dir.Write("a.xml", "x");
    ASSERT_TRUE(platform::SetModificationTime(path, 1768465815, nullptr));  // 08:30:15 UTC
    LocalWinFileSystem fs;
    DirFileList list;
    ASSERT_TRUE(fs.List(list, dir.Path() + "/", "a.xml", false));
    const auto& info = *list.Find("a.xml");
    EXPECT_EQ(info.modified.Format(), platform::OleDate::FromFileTime(1768465815).Format());
    std::time_t back = 0;
    ASSERT_TRUE(info.modified.ToFileTime(back));
    EXPECT_EQ(back, 1768465815);
}

INSTANTIATE_TEST_SUITE_P(WestAndEast, ListingTimes,
                         ::testing::Values("America/Los_Angeles", "Asia/Tokyo"),
                         [](const auto& info) {
                             return std::string(info.param).substr(0, 4) == "Amer" ? "West"
                                                                                   : "East";
                         });

TEST(FileInfo, LocalModifiedTakesModifiedAsUtcOnceMore) {
    test::ScopedTimeZone zone("America/Chicago");
    FileInfo info;
    info.modified = platform::OleDate::FromCivil(2026, 1, 15, 8, 30, 15);
    EXPECT_EQ(info.LocalModified().Format(), "01/15/2026 02:30:15");
    info.modified = platform::OleDate::Invalid();
    EXPECT_FALSE(info.LocalModified().IsValid());
}

TEST(FileSystemBase, AddSeparator) {
    LocalWinFileSystem fs;
    std::string path = "/srv/pos";
    fs.AddSeparator(path);
    EXPECT_EQ(path, "/srv/pos/");
    fs.AddSeparator(path);
    EXPECT_EQ(path, "/srv/pos/");
    std::string windows = "C:\\POS\\";
    fs.AddSeparator(windows);
    EXPECT_EQ(windows, "C:\\POS\\");
    std::string empty;
    fs.AddSeparator(empty);
    EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace tw
