#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

int EntryCount(const std::string& dir) {
    int count = 0;
    DIR* d = ::opendir(dir.c_str());
    while (const dirent* e = ::readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            ++count;
    }
    ::closedir(d);
    return count;
}

TEST(LineReader, DropsTrailingCrAndKeepsLongLinesWhole) {
    test::ScratchDir dir;
    const std::string longLine(100000, 'x');
    const auto path = dir.Write("a.txt", "one\r\ntwo\n\r\n" + longLine + "\r\nlast-no-newline");
    auto lines = ReadLines(path);
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 5u);
    EXPECT_EQ((*lines)[0], "one");
    EXPECT_EQ((*lines)[1], "two");
    EXPECT_EQ((*lines)[2], "");
    EXPECT_EQ((*lines)[3], longLine);
    EXPECT_EQ((*lines)[4], "last-no-newline");
    EXPECT_FALSE(ReadLines(dir.File("missing")));
}

TEST(AtomicFileWriter, ReplacesWholeAndLeavesNoTemporary) {
    test::ScratchDir dir;
    const auto path = dir.Write("RAVELIN.001", "old");
    ::chmod(path.c_str(), 0600);
    int error = 0;
    ASSERT_TRUE(WriteFileAtomically(path, "new contents\r\n", &error)) << error;
    EXPECT_EQ(test::ReadAll(path), "new contents\r\n");
    EXPECT_EQ(EntryCount(dir.Path()), 1);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "an existing file keeps its mode";
}

TEST(AtomicFileWriter, AbandonedWriteKeepsTheOldFile) {
    test::ScratchDir dir;
    const auto path = dir.Write("SEM.XML", "old");
    {
        AtomicFileWriter writer(path);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("half of the new"));
        EXPECT_EQ(writer.TemporaryPath().find(dir.Path() + "/.~tw"), 0u);
        // destroyed without Commit: a crash before the rename
    }
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntryCount(dir.Path()), 1);
}

TEST(AtomicFileWriter, UnwritableDirectoryFailsWithErrno) {
    int error = 0;
    EXPECT_FALSE(WriteFileAtomically("/nonexistent-dir/x", "y", &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(TempFile, UniqueNamesWithPrefixRemovedOnDestruction) {
    test::ScratchDir dir;
    std::string kept;
    {
        auto a = TempFile::Create("SL", dir.Path());
        auto b = TempFile::Create("SL", dir.Path());
        ASSERT_TRUE(a && b);
        EXPECT_NE(a->Path(), b->Path());
        EXPECT_EQ(a->Path().rfind(dir.Path() + "/SL", 0), 0u);
        EXPECT_EQ(::write(a->Descriptor(), "x", 1), 1);
        TempFile moved = std::move(*b);
        moved.Keep();
        kept = moved.Path();
    }
    EXPECT_EQ(EntryCount(dir.Path()), 1);
    EXPECT_EQ(::access(kept.c_str(), F_OK), 0);
}

// A reader holding the old file (the POS importing it, a viewer) keeps reading it whole, and a
// link at the path is replaced, never followed into a file elsewhere.
TEST(AtomicFileWriter, ReplacesTheFileNeverWritesIntoIt) {
    using Via = test::ReplacementWatch::Via;
    test::ScratchDir dir;
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        SCOPED_TRACE(via == Via::Descriptor ? "descriptor" : "link");
        const auto path = dir.Write("SETUP.001", "old contents\r\n");
        {
            test::ReplacementWatch watch(path, via);
            ASSERT_TRUE(WriteFileAtomically(path, "new"));
            EXPECT_TRUE(watch.Replaced());
        }
        EXPECT_EQ(test::ReadAll(path), "new");
        {
            test::ReplacementWatch watch(path, via);
            AtomicFileWriter writer(path);
            ASSERT_TRUE(writer.Open());
            ASSERT_TRUE(writer.Write("in "));
            ASSERT_TRUE(writer.Write("pieces"));
            ASSERT_TRUE(writer.Commit());
            EXPECT_TRUE(watch.Replaced());
        }
        EXPECT_EQ(test::ReadAll(path), "in pieces");
    }
}

}  // namespace
}  // namespace tw::platform
