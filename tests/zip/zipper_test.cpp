#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ole_date.h"
#include "platform/process.h"
#include "raw_archive.h"
#include "support/recording_messages.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace tw::zip {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> EntryNames(const std::string& archive) {
    std::vector<std::string> names;
    CUnzipper reader;
    if (!reader.OpenUnzip(archive))
        return {"<cannot open>"};
    reader.VisitEntries([&](const ZipEntryInfo& entry) {
        names.push_back(entry.name);
        return true;
    });
    return names;
}

void SetLocalTime(const std::string& path, int year, int month, int day, int hour, int minute,
                  int second) {
    std::time_t t = 0;
    ASSERT_TRUE(platform::OleDate::FromCivil(year, month, day, hour, minute, second).ToFileTime(t));
    fs::last_write_time(
        path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)));
}

std::time_t ModifiedAt(const std::string& path) {
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(fs::last_write_time(path))));
}

// Files whose names begin with ".~tw" are the zippers' temporary files.
std::vector<std::string> TemporaryFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".~tw", 0) == 0)
            found.push_back(name);
    }
    return found;
}

class ZipperTest : public ::testing::Test {
protected:
    test::ScopedTimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};
    test::ScratchDir dir_;
    std::string root_ = dir_.Path() + "/root/";
};

TEST_F(ZipperTest, FolderRoundTripKeepsNamesTimesAndAttributes) {
    dir_.Write("root/data/a.xml", "<a>first</a>");
    dir_.Write("root/data/sub/b.xml", std::string(100000, 'b'));  // more than one copy piece
    dir_.Write("root/data/.hidden/c.xml", "hidden");
    dir_.Write("root/data/.profile", "dot file");
    fs::permissions(root_ + "data/a.xml", fs::perms(0640));
    SetLocalTime(root_ + "data/a.xml", 2023, 7, 6, 7, 8, 10);  // summer time

    CZipper zipper;
    const std::string archive = root_ + "out.zip";
    ASSERT_TRUE(zipper.OpenZip(archive, root_, ZipOpenMode::Create));
    EXPECT_TRUE(zipper.AddFolder("data", false));
    EXPECT_EQ(zipper.FilesAdded(), 2);
    EXPECT_EQ(zipper.FoldersAdded(), 2);
    EXPECT_EQ(zipper.BytesAdded(), 12 + 100000);
    EXPECT_EQ(zipper.FilesFailed(), 0);
    ASSERT_TRUE(zipper.Close());
    EXPECT_EQ(zipper.FilesAdded(), 0) << "closing clears the counters";

    EXPECT_THAT(EntryNames(archive),
                ElementsAre("data/", "data/a.xml", "data/sub/", "data/sub/b.xml"));

    // Another zip reader accepts the archive.
    platform::PosixProcessLauncher launcher;
    const auto check = launcher.Run({"unzip", "-tqq", archive}, {});
    if (check.status != platform::ProcessOutcome::Status::StartFailed) {
        EXPECT_TRUE(check.Succeeded()) << "unzip -t exit code " << check.exitCode;
    }

    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    EXPECT_EQ(reader.DefaultDir(), root_ + "out");
    ASSERT_TRUE(reader.UnzipAll(false));
    EXPECT_EQ(test::ReadAll(root_ + "out/data/a.xml"), "<a>first</a>");
    EXPECT_EQ(test::ReadAll(root_ + "out/data/sub/b.xml"), std::string(100000, 'b'));
    EXPECT_EQ(ModifiedAt(root_ + "out/data/a.xml"), ModifiedAt(root_ + "data/a.xml"));
    EXPECT_EQ(fs::status(root_ + "out/data/a.xml").permissions(), fs::perms(0640));
    EXPECT_FALSE(fs::exists(root_ + "out/data/.hidden"));
}

TEST_F(ZipperTest, EntryNamesStayInsideTheArchiveRoot) {
    dir_.Write("outside.xml", "outside");
    dir_.Write("root/in/inner.xml", "inner");
    dir_.Write("root/day.d/e1.xml", "e1");
    CZipper zipper;
    const std::string archive = root_ + "names.zip";
    ASSERT_TRUE(zipper.OpenZip(archive, root_, ZipOpenMode::Create));

    EXPECT_FALSE(zipper.AddFile("../outside.xml", false));
    EXPECT_FALSE(zipper.AddFile("in/../../outside.xml", false));
    EXPECT_FALSE(zipper.AddFile(dir_.File("outside.xml"), false)) << "absolute, not under root";
    EXPECT_TRUE(zipper.AddFile("../outside.xml", true)) << "flattened: only the name is kept";
    EXPECT_TRUE(zipper.AddFile("./in/inner.xml", false));
    EXPECT_FALSE(zipper.AddFileAs(root_ + "in/inner.xml", "C:stored"));
    EXPECT_FALSE(zipper.AddFileAs(root_ + "in/inner.xml", "a/../.."));
    EXPECT_TRUE(zipper.AddFileAs(root_ + "in/inner.xml", "/box\\inner/"));
    EXPECT_TRUE(zipper.AddFolder(root_ + "day.d", true));
    EXPECT_FALSE(zipper.AddFile("in/missing.xml", false));
    EXPECT_EQ(zipper.FilesFailed(), 6);
    EXPECT_FALSE(zipper.ArchiveFailed()) << "unreadable sources do not spoil the archive";
    ASSERT_TRUE(zipper.Close());

    EXPECT_THAT(EntryNames(archive), ElementsAre("outside.xml", "in/inner.xml",
                                                 "box/inner/inner.xml", "day/", "e1.xml"));
}

TEST_F(ZipperTest, FolderWithAnUnreadableFileReportsFailureButKeepsTheRest) {
    dir_.Write("root/day/a.xml", "a");
    dir_.Write("root/day/c.xml", "c");
    fs::create_symlink(dir_.File("nowhere.xml"), root_ + "day/b.xml");
    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(root_ + "day.zip", std::nullopt, ZipOpenMode::Create));
    EXPECT_FALSE(zipper.AddFolder(root_ + "day", true));
    EXPECT_EQ(zipper.FilesAdded(), 2);
    EXPECT_EQ(zipper.FilesFailed(), 1);
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(EntryNames(root_ + "day.zip"), ElementsAre("day/", "a.xml", "c.xml"));
}

TEST_F(ZipperTest, ManyFilesArriveWholeAndInOrder) {
    // More files than are compressed ahead of the writer, one too large to be compressed
    // ahead, an empty one, a broken link and two names that differ only in case.
    std::map<std::string, std::string> expected;
    for (int i = 0; i < 150; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.xml", i);
        std::string body;
        for (int line = 0; line < i % 17; ++line)
            body += "<Line n=\"" + std::to_string(i * line) + "\"/>";
        if (i == 75) {
            for (int k = 0; body.size() < 1100 * 1024; ++k) body += std::to_string(k * 2654435761u);
        }
        if (i == 100) {
            fs::create_directories(root_ + "day");
            fs::create_symlink(dir_.File("nowhere"), root_ + "day/" + name);
            continue;
        }
        dir_.Write(std::string("root/day/") + name, body);
        if (i != 10)
            expected[name] = body;
    }
    dir_.Write("root/day/F010.XML", "upper");
    expected["F010.XML"] = "upper";

    ZipperWithMessage zipper(nullptr);
    ASSERT_TRUE(zipper.OpenZip(root_ + "many.zip", std::nullopt, ZipOpenMode::Create));
    EXPECT_FALSE(zipper.AddFolder(root_ + "day", true)) << "the broken link";
    EXPECT_EQ(zipper.FilesAdded(), 149);
    EXPECT_EQ(zipper.FilesFailed(), 1);
    ASSERT_TRUE(zipper.Close());

    const std::vector<std::string> names = EntryNames(root_ + "many.zip");
    ASSERT_EQ(names.size(), 150u);
    EXPECT_EQ(names[0], "day/");
    EXPECT_TRUE(std::is_sorted(names.begin() + 1, names.end()));
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(root_ + "many.zip"));
    ASSERT_TRUE(reader.UnzipTo(root_ + "out", true));
    for (const auto& [name, body] : expected) {
        EXPECT_EQ(test::ReadAll(root_ + "out/" + name), body) << name;
    }
}

TEST_F(ZipperTest, OpenModes) {
    dir_.Write("root/one.xml", "one");
    dir_.Write("root/two.xml", "two");
    const std::string archive = root_ + "modes.zip";
    CZipper zipper;

    // Appending to a file that does not exist creates a new archive.
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, true));
    ASSERT_TRUE(zipper.AddFile("one.xml", false));
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(EntryNames(archive), ElementsAre("one.xml"));

    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    ASSERT_TRUE(zipper.AddFile("two.xml", false));
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(EntryNames(archive), ElementsAre("one.xml", "two.xml"));

    // An addition that adds nothing leaves the file exactly as it was.
    const std::string before = test::ReadAll(archive);
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    ASSERT_TRUE(zipper.Close());
    EXPECT_EQ(test::ReadAll(archive), before);

    // A new archive behind the existing bytes: readers see only the new one.
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::CreateAfter));
    ASSERT_TRUE(zipper.AddFile(root_ + "two.xml", false));
    ASSERT_TRUE(zipper.Close());
    EXPECT_EQ(test::ReadAll(archive).substr(0, before.size()), before);
    EXPECT_THAT(EntryNames(archive), ElementsAre("two.xml"));

    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::Create));
    ASSERT_TRUE(zipper.AddFile("one.xml", false));
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(EntryNames(archive), ElementsAre("one.xml"));

    EXPECT_FALSE(zipper.OpenZip("", std::nullopt, ZipOpenMode::Create));
    EXPECT_FALSE(zipper.OpenZip(root_, std::nullopt, ZipOpenMode::Create)) << "a folder";
    EXPECT_FALSE(zipper.AddFile("one.xml", false)) << "nothing open";
    EXPECT_THAT(TemporaryFiles(root_), IsEmpty());
}

TEST_F(ZipperTest, ArchiveIsUntouchedUntilASuccessfulClose) {
    dir_.Write("root/old.xml", "old");
    dir_.Write("root/new.xml", std::string(3 << 20, 'n'));  // forces sealed bytes to disk
    const std::string archive = root_ + "safe.zip";
    {
        CZipper first;
        ASSERT_TRUE(first.OpenZip(archive, std::nullopt, ZipOpenMode::Create));
        ASSERT_TRUE(first.AddFile("old.xml", false));
        ASSERT_TRUE(first.Close());
    }
    const std::string original = test::ReadAll(archive);

    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    ASSERT_TRUE(zipper.AddFile("new.xml", false));
    ASSERT_TRUE(zipper.AddFile("old.xml", true)) << "the base zipper does not check for names";
    // A writer killed at this point leaves the original whole: the new archive is elsewhere.
    EXPECT_EQ(test::ReadAll(archive), original);
    EXPECT_THAT(EntryNames(archive), ElementsAre("old.xml"));
    EXPECT_EQ(TemporaryFiles(root_).size(), 1u);
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(EntryNames(archive), ElementsAre("old.xml", "new.xml", "old.xml"));
    EXPECT_THAT(TemporaryFiles(root_), IsEmpty());

    // When the archive cannot be put in place, Close says so and leaves nothing behind.
    const std::string blocked = root_ + "blocked.zip";
    ASSERT_TRUE(zipper.OpenZip(blocked, std::nullopt, ZipOpenMode::Create));
    ASSERT_TRUE(zipper.AddFile("old.xml", false));
    fs::create_directories(blocked + "/occupied");
    EXPECT_FALSE(zipper.Close());
    EXPECT_TRUE(zipper.ArchiveFailed());
    EXPECT_THAT(TemporaryFiles(root_), IsEmpty());
}

TEST_F(ZipperTest, OverlongPathsAreRefusedWithAMessage) {
    test::RecordedMessages messages;
    fs::create_directories(root_);
    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(root_ + "long.zip", std::nullopt, ZipOpenMode::Create));
    const std::string longName(kMaxPathBytes, 'x');
    EXPECT_FALSE(zipper.AddFile(longName, true));
    ASSERT_EQ(messages.error.Texts().size(), 1u);
    EXPECT_THAT(messages.error.Texts()[0], ::testing::StartsWith("Path too long ("));
    EXPECT_FALSE(zipper.ArchiveFailed());
}

TEST_F(ZipperTest, ArchiveIsNeverTakenPastTheEntriesItsDirectoryCanCount) {
    std::vector<test::RawEntry> entries;
    for (int i = 0; i < 65533; ++i)
        entries.push_back({"e" + std::to_string(i), "", {}, 0, 20, true});
    fs::create_directories(root_);
    const std::string archive = root_ + "full.zip";
    ASSERT_TRUE(test::WriteRawArchive(archive, entries));
    dir_.Write("root/one.xml", "1");
    dir_.Write("root/two.xml", "2");
    const std::string before = test::ReadAll(archive);

    test::RecordedMessages messages;
    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    EXPECT_TRUE(zipper.AddFile("one.xml", false)) << "the last entry that fits";
    EXPECT_FALSE(zipper.AddFile("two.xml", false));
    EXPECT_FALSE(zipper.AddFile("two.xml", true));
    EXPECT_FALSE(zipper.ArchiveFailed()) << "the archive itself is sound";
    ASSERT_TRUE(zipper.Close());
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Archive " + archive + " holds the most entries it can (65534)."));
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    EXPECT_EQ(reader.EntryCount(), 65534u);
    EXPECT_GT(test::ReadAll(archive).size(), before.size());
}

TEST_F(ZipperTest, ZipperWithMessageSkipsNamesAlreadyPresent) {
    test::RecordedMessages messages;
    dir_.Write("root/day/jrn1.xml", "one");
    dir_.Write("root/day/jrn2.xml", "two");
    const std::string archive = root_ + "DAY.ZIP";
    {
        CZipper first;
        ASSERT_TRUE(first.OpenZip(archive, std::nullopt, ZipOpenMode::Create));
        ASSERT_TRUE(first.AddFileAs(root_ + "day/jrn1.xml", "DAY"));  // "DAY/" is no folder entry
        ASSERT_TRUE(first.AddFile("day/jrn1.xml", true));
        ASSERT_TRUE(first.Close());
    }
    ZipperWithMessage zipper(&messages.screen);
    EXPECT_EQ(zipper.ZipPath(), "none");
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    ASSERT_TRUE(zipper.LoadExistingEntries(reader));
    reader.Close();
    EXPECT_EQ(zipper.ExistingEntryCount(), 2u);
    EXPECT_TRUE(zipper.ContainsEntry("JRN1.XML"));

    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    EXPECT_EQ(zipper.ZipPath(), archive);
    EXPECT_TRUE(zipper.AddFolder(root_ + "day", true));
    EXPECT_TRUE(zipper.AddFolder(root_ + "day", true)) << "a second time adds nothing";
    EXPECT_EQ(zipper.FilesAdded(), 1);
    ASSERT_TRUE(zipper.Close());

    EXPECT_THAT(EntryNames(archive), ElementsAre("DAY/jrn1.xml", "jrn1.xml", "day/", "jrn2.xml"));
    EXPECT_THAT(messages.screen.Texts(),
                ElementsAre("Archiving " + root_ + "day/jrn2.xml to " + archive));
}

// Every file entry of the archive has its file's CRC, size and bytes.
void ExpectArchiveHolds(const std::string& archive, const std::map<std::string, std::string>& files,
                        const std::string& out) {
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    std::map<std::string, ZipEntryInfo> entries;
    ASSERT_TRUE(reader.VisitEntries([&](const ZipEntryInfo& entry) {
        if (!entry.isDirectory)
            entries[entry.name] = entry;
        return true;
    }));
    ASSERT_EQ(entries.size(), files.size());
    ASSERT_TRUE(reader.UnzipTo(out, false));
    for (const auto& [name, body] : files) {
        SCOPED_TRACE(name);
        ASSERT_EQ(entries.count(name), 1u);
        EXPECT_EQ(entries[name].crc, crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                           static_cast<uInt>(body.size())));
        EXPECT_EQ(entries[name].uncompressedSize, body.size());
        EXPECT_TRUE(test::ReadAll(out + "/" + name) == body) << "the bytes differ";
    }
}

// Random bytes do not deflate, so these entries take megabytes in the archive as well: the
// session's bytes go to disk while the archive is still being written, and come back whole.
TEST_F(ZipperTest, LargeIncompressibleEntriesReadBackIdentical) {
    std::mt19937 random(20260305);
    const auto randomBytes = [&](std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i + 4 <= size; i += 4) {
            const std::uint32_t word = random();
            std::memcpy(&bytes[i], &word, 4);
        }
        return bytes;
    };
    std::map<std::string, std::string> files;
    files["big.bin"] = randomBytes(5 << 20);  // streamed by the writer itself
    for (int i = 0; i < 3; ++i) {
        files["day/part" + std::to_string(i) + ".bin"] = randomBytes(900 << 10);  // on workers
    }
    for (const auto& [name, body] : files) dir_.Write("root/" + name, body);

    const std::string archive = root_ + "big.zip";
    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::Create));
    ASSERT_TRUE(zipper.AddFile("big.bin", false));
    ASSERT_TRUE(zipper.AddFolder("day", false));
    // The archive is not held in memory until the close.
    ASSERT_EQ(TemporaryFiles(root_).size(), 1u);
    EXPECT_GT(fs::file_size(root_ + TemporaryFiles(root_)[0]), 5u << 20);
    ASSERT_TRUE(zipper.Close());
    ExpectArchiveHolds(archive, files, root_ + "out1");

    // Added to the existing archive.
    files["more.bin"] = randomBytes(4 << 20);
    dir_.Write("root/more.bin", files["more.bin"]);
    ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
    ASSERT_TRUE(zipper.AddFile("more.bin", false));
    ASSERT_TRUE(zipper.Close());
    ExpectArchiveHolds(archive, files, root_ + "out2");
}

// A reader holding the archive (the back office copying it away) keeps the old archive whole,
// and a link at the archive's path is replaced, never written through.
TEST_F(ZipperTest, AnAdditionReplacesTheArchiveNeverWritesIntoIt) {
    using Via = test::ReplacementWatch::Via;
    dir_.Write("root/one.xml", "one");
    dir_.Write("root/two.xml", "two");
    const std::string archive = root_ + "DAY.ZIP";
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        CZipper zipper;
        ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::Create));
        ASSERT_TRUE(zipper.AddFile("one.xml", false));
        ASSERT_TRUE(zipper.Close());
        test::ReplacementWatch watch(archive, via);
        ASSERT_TRUE(zipper.OpenZip(archive, std::nullopt, ZipOpenMode::AddInto));
        ASSERT_TRUE(zipper.AddFile("two.xml", false));
        ASSERT_TRUE(zipper.Close());
        EXPECT_TRUE(watch.Replaced());
        EXPECT_THAT(EntryNames(archive), ElementsAre("one.xml", "two.xml"));
    }
}

}  // namespace
}  // namespace tw::zip
