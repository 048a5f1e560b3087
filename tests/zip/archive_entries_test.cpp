#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "entry_damage.h"
#include "raw_archive.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "zip/archive_entries.h"
#include "zip/unzipper.h"
#include "zip/zipper.h"

namespace tw::zip {
namespace {

namespace fs = std::filesystem;
using test::RawEntry;
using ::testing::ElementsAre;

std::string Text(int seed) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "<Line>" + std::to_string(i * 7919 % 1000 + seed);
    return text;
}

// Whether each entry of the archive reads intact, in directory order.
std::vector<bool> Intact(const std::string& archive) {
    ArchiveEntries entries;
    if (!entries.Open(archive))
        return {};
    std::vector<bool> intact;
    for (std::size_t i = 0; i < entries.Entries().size(); ++i) intact.push_back(entries.Read(i));
    return intact;
}

// Name, time, attributes, method, sizes and CRC of every entry, and its content read back.
std::vector<std::string> Describe(const std::string& archive) {
    std::vector<std::string> described;
    CUnzipper reader;
    if (!reader.OpenUnzip(archive))
        return {"<cannot open>"};
    std::string content;
    for (bool more = reader.GoToFirstEntry(); more; more = reader.GoToNextEntry()) {
        ZipEntryInfo e;
        reader.CurrentEntry(e);
        const bool read = reader.ReadCurrent(content);
        described.push_back(
            e.name + " " + std::to_string(e.dosDate) + " " + std::to_string(e.externalAttributes) +
            " " + std::to_string(e.compressionMethod) + " " + std::to_string(e.compressedSize) +
            " " + std::to_string(e.uncompressedSize) + " " + std::to_string(e.crc) +
            (read ? " " + content : " <damaged>"));
    }
    return described;
}

class ArchiveEntriesTest : public ::testing::Test {
protected:
    // An archive of every kind of entry the day archives hold or may have been given.
    std::string Mixed(const std::string& name) {
        const std::string archive = dir_.File(name);
        EXPECT_TRUE(test::WriteRawArchive(
            archive,
            {{"jrn0305/", "", test::DosDate(2024, 3, 5), 0x10},
             {"a.xml", Text(1), test::DosDate(2024, 3, 5, 10, 15, 2), 0100640u << 16, 3u << 8 | 20},
             {"stored.xml", "kept as it is", test::DosDate(2024, 3, 5), 0, 20, true},
             {"empty.xml", ""},
             {"dir\\b.xml", Text(2)}}));
        return archive;
    }

    test::ScopedTimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};
    test::ScratchDir dir_;
};

TEST_F(ArchiveEntriesTest, DamageInsideAnEntryIsFoundWhileItsDirectoryIsIntact) {
    const std::string archive = Mixed("mixed.zip");
    EXPECT_THAT(Intact(archive), ElementsAre(true, true, true, true, true));
    // Behind other data, as a self-extractor is, every offset moves alike.
    dir_.Write("behind.zip", "#!stub\n" + test::ReadAll(archive));
    EXPECT_THAT(Intact(dir_.File("behind.zip")), ElementsAre(true, true, true, true, true));

    const std::string bytes = test::ReadAll(archive);
    const auto damaged = [&](std::size_t at, const std::string& name) {
        std::string copy = bytes;
        copy[at] = static_cast<char>(copy[at] ^ 0x55);
        return dir_.Write(name, copy);
    };
    EXPECT_THAT(Intact(damaged(test::EntryDataOffset(bytes, "a.xml") + 100, "deflated.zip")),
                ElementsAre(true, false, true, true, true));
    EXPECT_THAT(Intact(damaged(test::EntryDataOffset(bytes, "stored.xml") + 3, "stored.zip")),
                ElementsAre(true, true, false, true, true));
    EXPECT_THAT(Intact(damaged(bytes.find("dir\\b.xml") - 30, "header.zip")),
                ElementsAre(true, true, true, true, false))
        << "a local header that is not one";

    // The stored bytes handed on are the entry's data as it lies in the file.
    ArchiveEntries entries;
    ASSERT_TRUE(entries.Open(archive));
    std::string stored;
    ASSERT_TRUE(entries.Read(1, [&](const unsigned char* data, std::size_t size) {
        stored.append(reinterpret_cast<const char*>(data), size);
        return true;
    }));
    EXPECT_EQ(stored, bytes.substr(test::EntryDataOffset(bytes, "a.xml"),
                                   entries.Entries()[1].compressedSize));
    EXPECT_FALSE(entries.Read(1, [](const unsigned char*, std::size_t) { return false; }));

    dir_.Write("junk.zip", "not a zip archive");
    EXPECT_FALSE(entries.Open(dir_.File("junk.zip")));
    EXPECT_TRUE(entries.Entries().empty());
    dir_.Write("cut.zip", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(entries.Open(dir_.File("cut.zip")));
}

TEST_F(ArchiveEntriesTest, CopiedEntriesAreTheSameEntriesNotCompressedAgain) {
    const std::string source = Mixed("source.zip");
    {
        ArchiveEntries entries;
        ASSERT_TRUE(entries.Open(source));
        CZipper zipper;
        ASSERT_TRUE(zipper.OpenZip(dir_.File("copy.zip"), std::nullopt, ZipOpenMode::Create));
        for (std::size_t i = 0; i < entries.Entries().size(); ++i)
            EXPECT_TRUE(zipper.CopyEntry(entries, i)) << i;
        EXPECT_EQ(zipper.EntriesWritten(), 5);
        ASSERT_TRUE(zipper.Close());
    }
    auto expected = Describe(source);
    expected[4].replace(0, 9, "dir/b.xml");  // names are written with "/"
    EXPECT_EQ(Describe(dir_.File("copy.zip")), expected);

    // A damaged entry is not copied when the archive holds its name; otherwise, once begun,
    // it voids the session and the archive stays as it was.
    std::string bytes = test::ReadAll(source);
    ASSERT_TRUE(test::DamageEntry(bytes, "a.xml", 100));
    ArchiveEntries damaged;
    ASSERT_TRUE(damaged.Open(dir_.Write("damaged.zip", bytes)));
    ArchiveEntries copied;
    ASSERT_TRUE(copied.Open(dir_.File("copy.zip")));
    const std::string before = test::ReadAll(dir_.File("copy.zip"));
    ZipperWithMessage zipper(nullptr);
    zipper.LoadExistingEntries(copied.Entries());
    ASSERT_TRUE(zipper.OpenZip(dir_.File("copy.zip"), std::nullopt, ZipOpenMode::AddInto));
    EXPECT_TRUE(zipper.CopyEntry(damaged, 1));
    EXPECT_TRUE(zipper.Close());
    EXPECT_EQ(zipper.EntriesWritten(), 0);

    CZipper fresh;
    ASSERT_TRUE(fresh.OpenZip(dir_.File("copy.zip"), std::nullopt, ZipOpenMode::AddInto));
    EXPECT_TRUE(fresh.CopyEntry(damaged, 0));
    EXPECT_FALSE(fresh.CopyEntry(damaged, 1));
    EXPECT_TRUE(fresh.ArchiveFailed());
    EXPECT_FALSE(fresh.Close());
    EXPECT_TRUE(test::ReadAll(dir_.File("copy.zip")) == before);
}

TEST_F(ArchiveEntriesTest, FileChecksumIsWhatAnEntryOfTheFileRecords) {
    dir_.Write("root/big.xml", Text(3) + Text(4) + Text(5));  // several read pieces
    dir_.Write("root/empty.xml", "");
    CZipper zipper;
    ASSERT_TRUE(zipper.OpenZip(dir_.File("sums.zip"), std::nullopt, ZipOpenMode::Create));
    ASSERT_TRUE(zipper.AddFolder(dir_.File("root"), true));
    ASSERT_TRUE(zipper.Close());
    ArchiveEntries entries;
    ASSERT_TRUE(entries.Open(dir_.File("sums.zip")));
    ContentChecksum checksum;
    for (const ZipEntryInfo& entry : entries.Entries()) {
        if (entry.isDirectory)
            continue;
        SCOPED_TRACE(entry.name);
        std::uint64_t size = 1;
        std::uint32_t crc = 1;
        ASSERT_TRUE(checksum.Of(dir_.File("root/" + entry.name), size, crc));
        EXPECT_EQ(size, entry.uncompressedSize);
        EXPECT_EQ(crc, entry.crc);
    }
    std::uint64_t size;
    std::uint32_t crc;
    EXPECT_FALSE(checksum.Of(dir_.File("root"), size, crc)) << "a folder";
    EXPECT_FALSE(checksum.Of(dir_.File("missing.xml"), size, crc));
}

}  // namespace
}  // namespace tw::zip
