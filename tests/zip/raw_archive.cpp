#include <minizip/zip.h>

#include "raw_archive.h"

namespace tw::test {

bool WriteRawArchive(const std::string& path, const std::vector<RawEntry>& entries,
                     const std::string& archiveComment) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool ok = true;
    for (const RawEntry& entry : entries) {
        zip_fileinfo info{};
        info.dosDate = entry.dosDate;
        info.external_fa = entry.externalAttributes;
        ok = ok &&
             zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                     entry.comment.empty() ? nullptr : entry.comment.c_str(),
                                     entry.stored ? 0 : Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                     -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                     entry.versionMadeBy, 0, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, entry.data.data(),
                                 static_cast<unsigned>(entry.data.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, archiveComment.empty() ? nullptr : archiveComment.c_str()) == ZIP_OK && ok;
}

namespace {

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

std::uint64_t Get(const std::string& in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(in[at + i]);
    return value;
}

}  // namespace

std::string WithZip64End(const std::string& archive) {
    const std::size_t end = archive.size() - 22;
    const std::uint64_t entries = Get(archive, end + 10, 2);
    const std::uint64_t size = Get(archive, end + 12, 4);
    const std::uint64_t offset = Get(archive, end + 16, 4);
    std::string out = archive.substr(0, end);
    Put(out, 0x06064b50, 4);  // zip64 end record
    Put(out, 44, 8);
    Put(out, 45, 2);
    Put(out, 45, 2);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, entries, 8);
    Put(out, entries, 8);
    Put(out, size, 8);
    Put(out, offset, 8);
    Put(out, 0x07064b50, 4);  // its locator
    Put(out, 0, 4);
    Put(out, end, 8);
    Put(out, 1, 4);
    out += archive.substr(end, 8);
    Put(out, 0xFFFF, 2);
    Put(out, 0xFFFF, 2);
    out += archive.substr(end + 12);
    return out;
}

std::uint32_t DosDate(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<std::uint32_t>((year - 1980) << 9 | month << 5 | day);
    const auto time = static_cast<std::uint32_t>(hour << 11 | minute << 5 | second / 2);
    return date << 16 | time;
}

}  // namespace tw::test
