#include <chrono>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ole_date.h"
#include "raw_archive.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"
#include "zip/central_directory.h"
#include "zip/unzipper.h"

namespace tw::zip {
namespace {

namespace fs = std::filesystem;
using test::RawEntry;

// Every path below root, relative to it.
std::vector<std::string> Tree(const std::string& root) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

class FixedClock : public platform::Clock {
public:
    explicit FixedClock(std::time_t now) : now_(now) {}
    std::time_t Now() const override { return now_; }

private:
    std::time_t now_;
};

class UnzipperTest : public ::testing::Test {
protected:
    test::ScopedTimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};
    test::ScratchDir dir_;
};

TEST_F(UnzipperTest, EntriesThatLeadOutOfTheTargetAreRefused) {
    const std::string absolute = dir_.File("escaped-absolute");
    constexpr std::uint32_t kLink = (0120777u << 16);
    const std::vector<RawEntry> hostile = {
        {"../escaped-parent", "x"},
        {absolute, "x"},
        {"a\\..\\..\\escaped-backslash", "x"},
        {"C:\\escaped-drive", "x"},
        {"C:escaped-drive-relative", "x"},
        {"link", dir_.File("escaped-link"), {}, kLink, 3u << 8 | 20},
    };
    for (const RawEntry& bad : hostile) {
        SCOPED_TRACE(bad.name);
        const std::string archive = dir_.File("hostile.zip");
        ASSERT_TRUE(test::WriteRawArchive(archive, {{"good.xml", "good"}, bad}));
        for (bool flatten : {false, true}) {
            const std::string target = dir_.File(flatten ? "flat" : "tree");
            CUnzipper reader;
            ASSERT_TRUE(reader.OpenUnzip(archive));
            EXPECT_FALSE(reader.UnzipTo(target, flatten));
            EXPECT_EQ(Tree(target), std::vector<std::string>{"good.xml"});
            fs::remove_all(target);
        }
    }
    EXPECT_EQ(Tree(dir_.Path()), std::vector<std::string>{"hostile.zip"}) << "nothing escaped";
}

TEST_F(UnzipperTest, ExistingLinksBelowTheTargetAreNotFollowed) {
    fs::create_directories(dir_.File("target"));
    fs::create_directories(dir_.File("elsewhere"));
    fs::create_directory_symlink(dir_.File("elsewhere"), dir_.File("target/sub"));
    const std::string archive = dir_.File("link.zip");
    ASSERT_TRUE(test::WriteRawArchive(archive, {{"sub/planted.xml", "x"}}));
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    EXPECT_FALSE(reader.UnzipTo(dir_.File("target"), false));
    EXPECT_TRUE(fs::is_empty(dir_.File("elsewhere")));
}

TEST_F(UnzipperTest, DamagedEntryLeavesTheExistingFileAlone) {
    const std::string archive = dir_.File("damaged.zip");
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "<Line>" + std::to_string(i * 7919 % 1000) + "</Line>";
    ASSERT_TRUE(test::WriteRawArchive(archive, {{"a.xml", text}}));
    // Flip a byte in the middle of the compressed data (the local header takes 30 + 5 bytes).
    std::string bytes = test::ReadAll(archive);
    bytes[35 + 200] = static_cast<char>(bytes[35 + 200] ^ 0x55);
    dir_.Write("damaged.zip", bytes);
    dir_.Write("out/a.xml", "good");

    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    EXPECT_FALSE(reader.UnzipTo(dir_.File("out"), false));
    EXPECT_EQ(test::ReadAll(dir_.File("out/a.xml")), "good");
    EXPECT_EQ(Tree(dir_.File("out")), std::vector<std::string>{"a.xml"}) << "no temporary file";
}

TEST_F(UnzipperTest, BackslashNamesFoldersAndTimes) {
    const std::string archive = dir_.File("old.zip");
    ASSERT_TRUE(test::WriteRawArchive(
        archive, {{"jrn0305\\", "", test::DosDate(2024, 3, 5), 0x10},
                  {"jrn0305\\deep\\e1.xml", "e1", test::DosDate(2024, 3, 5, 14, 30, 58)},
                  {"e2.xml", "e2", test::DosDate(2024, 3, 5, 15, 0, 0)}}));
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(archive));
    EXPECT_EQ(reader.EntryCount(), 3u);
    std::vector<std::string> names;
    std::vector<bool> folders;
    ASSERT_TRUE(reader.VisitEntries([&](const ZipEntryInfo& entry) {
        names.push_back(entry.name);
        folders.push_back(entry.isDirectory);
        return true;
    }));
    EXPECT_EQ(names, (std::vector<std::string>{"jrn0305/", "jrn0305/deep/e1.xml", "e2.xml"}));
    EXPECT_EQ(folders, (std::vector<bool>{true, false, false}));

    ASSERT_TRUE(reader.UnzipTo(dir_.File("tree"), false));
    EXPECT_EQ(test::ReadAll(dir_.File("tree/jrn0305/deep/e1.xml")), "e1");
    ASSERT_TRUE(reader.UnzipTo(dir_.File("flat"), true));
    EXPECT_EQ(Tree(dir_.File("flat")), (std::vector<std::string>{"e1.xml", "e2.xml"}));

    std::time_t expected = 0;
    ASSERT_TRUE(platform::OleDate::FromCivil(2024, 3, 5, 14, 30, 58).ToFileTime(expected));
    const auto written =
        std::chrono::file_clock::to_sys(fs::last_write_time(dir_.File("flat/e1.xml")));
    EXPECT_EQ(std::chrono::system_clock::to_time_t(
                  std::chrono::time_point_cast<std::chrono::system_clock::duration>(written)),
              expected);

    EXPECT_FALSE(reader.OpenUnzip(dir_.File("missing.zip")));
    EXPECT_FALSE(reader.UnzipAll(false)) << "nothing open";
}

// The directory as minizip reports it, entry by entry.
std::vector<ZipEntryInfo> MinizipWalk(CUnzipper& reader) {
    std::vector<ZipEntryInfo> entries;
    for (bool more = reader.GoToFirstEntry(); more; more = reader.GoToNextEntry()) {
        ZipEntryInfo info;
        if (!reader.CurrentEntry(info))
            break;
        entries.push_back(info);
    }
    return entries;
}

std::string Describe(const ZipEntryInfo& e) {
    return e.name + "|" + std::to_string(e.versionMadeBy) + "|" + std::to_string(e.flags) + "|" +
           std::to_string(e.compressionMethod) + "|" + std::to_string(e.dosDate) + "|" +
           std::to_string(e.crc) + "|" + std::to_string(e.compressedSize) + "|" +
           std::to_string(e.uncompressedSize) + "|" + std::to_string(e.externalAttributes) + "|" +
           (e.isDirectory ? "dir" : "file");
}

TEST_F(UnzipperTest, DirectoryListingAgreesWithMinizip) {
    std::vector<RawEntry> many;
    for (int i = 0; i < 65534; ++i) {
        many.push_back({"e" + std::to_string(i), "", test::DosDate(2024, 1, 1), 0, 20, true});
    }
    ASSERT_TRUE(test::WriteRawArchive(dir_.File("many.zip"), many));
    // The same directory found through zip64 end records, as other writers store large ones.
    dir_.Write("many.zip", test::WithZip64End(test::ReadAll(dir_.File("many.zip"))));
    ASSERT_TRUE(test::WriteRawArchive(
        dir_.File("mixed.zip"),
        {{"dir\\", "", test::DosDate(2024, 3, 5), 0x10},
         {"dir\\f.xml", std::string(5000, 'f'), test::DosDate(2024, 3, 5, 1, 2, 4)},
         {"unix", "u", test::DosDate(2024, 3, 5), 0100640u << 16, 3u << 8 | 20}}));
    // An archive behind other data, as a self-extractor is.
    dir_.Write("behind.zip", "#!stub\n" + test::ReadAll(dir_.File("mixed.zip")));
    // Comments on entries (each record is longer than its name and extra field) and on the
    // archive (the end record is not at the end of the file).
    std::vector<RawEntry> commented;
    for (int i = 0; i < 40; ++i) {
        RawEntry entry{"c" + std::to_string(i) + ".xml", std::to_string(i)};
        entry.comment = std::string(static_cast<std::size_t>(i * 7 % 23), 'k');
        commented.push_back(entry);
    }
    ASSERT_TRUE(test::WriteRawArchive(dir_.File("commented.zip"), commented, "day archive"));

    for (const char* name : {"many.zip", "mixed.zip", "behind.zip", "commented.zip"}) {
        SCOPED_TRACE(name);
        CUnzipper reader;
        ASSERT_TRUE(reader.OpenUnzip(dir_.File(name)));
        std::vector<std::string> listed, walked;
        ASSERT_TRUE(reader.VisitEntries([&](const ZipEntryInfo& e) {
            listed.push_back(Describe(e));
            return true;
        }));
        for (const ZipEntryInfo& e : MinizipWalk(reader)) walked.push_back(Describe(e));
        EXPECT_EQ(listed.size(), reader.EntryCount());
        EXPECT_EQ(listed, walked);
        // The listing came from the fast walk, not from minizip after it gave up.
        EXPECT_TRUE(
            WalkCentralDirectory(dir_.File(name), [](const ZipEntryInfo&) { return true; }));
    }

    // A directory damaged inside: the listing fails and reports nothing.
    std::string bytes = test::ReadAll(dir_.File("mixed.zip"));
    const std::size_t record = bytes.find("PK\x01\x02");
    bytes[bytes.find("PK\x01\x02", record + 4) + 3] = 'X';
    dir_.Write("broken.zip", bytes);
    CUnzipper reader;
    ASSERT_TRUE(reader.OpenUnzip(dir_.File("broken.zip")));
    int visits = 0;
    EXPECT_FALSE(reader.VisitEntries([&](const ZipEntryInfo&) { return ++visits, true; }));
    EXPECT_LE(visits, 1) << "at most what minizip itself read before the damage";
    EXPECT_FALSE(
        WalkCentralDirectory(dir_.File("broken.zip"), [](const ZipEntryInfo&) { return true; }));
}

TEST_F(UnzipperTest, UnZipWithDateTakesOnlyRecentValidEntries) {
    std::time_t now = 0;
    ASSERT_TRUE(platform::OleDate::FromCivil(2024, 6, 30, 12, 0, 0).ToFileTime(now));
    auto daysAgo = [](int days) {
        platform::CivilTime c;
        platform::OleDate::FromCivil(2024, 6, 30, 12, 0, 0).AddDays(-days).ToCivil(c);
        return test::DosDate(c.year, c.month, c.day, c.hour, c.minute, c.second);
    };
    const std::string archive = dir_.File("dated.zip");
    ASSERT_TRUE(
        test::WriteRawArchive(archive, {{"d99.xml", "99", daysAgo(99)},
                                        {"d100.xml", "100", daysAgo(100)},
                                        {"month13.xml", "x", (44u << 9 | 13u << 5 | 1u) << 16},
                                        {"day0.xml", "x", (44u << 9 | 1u << 5) << 16},
                                        {"future.xml", "f", daysAgo(-3)}}));
    FixedClock clock(now);
    UnZipWithDate reader(clock);
    EXPECT_EQ(reader.maxAgeDays, 99);
    ASSERT_TRUE(reader.OpenUnzip(archive));
    ASSERT_TRUE(reader.UnzipTo(dir_.File("recent"), false));
    EXPECT_EQ(Tree(dir_.File("recent")), (std::vector<std::string>{"d99.xml", "future.xml"}));
}

// A file already in the target is replaced by the extracted one: a reader holding it keeps
// the old bytes, and a link planted in its place is replaced, never written through.
TEST_F(UnzipperTest, ExtractionReplacesAnExistingFileNeverWritesIntoIt) {
    using Via = test::ReplacementWatch::Via;
    const std::string archive = dir_.File("day.zip");
    ASSERT_TRUE(test::WriteRawArchive(archive, {{"e1.xml", "from the archive"}}));
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        const std::string target = dir_.Write("out/e1.xml", "already there");
        test::ReplacementWatch watch(target, via);
        CUnzipper reader;
        ASSERT_TRUE(reader.OpenUnzip(archive));
        ASSERT_TRUE(reader.UnzipTo(dir_.File("out"), false));
        EXPECT_TRUE(watch.Replaced());
        EXPECT_EQ(test::ReadAll(target), "from the archive");
    }
}

}  // namespace
}  // namespace tw::zip
