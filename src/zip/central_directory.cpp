#include "zip/central_directory.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace tw::zip {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kRecordSignature = 0x02014b50;
constexpr std::size_t kEndBytes = 22;
constexpr std::size_t kZip64EndBytes = 56;
constexpr std::size_t kZip64LocatorBytes = 20;
constexpr std::size_t kRecordBytes = 46;
constexpr std::size_t kMaxCommentBytes = 0xFFFF;
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t{1} << 31;

std::uint16_t U16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t U64(const unsigned char* p) {
    return static_cast<std::uint64_t>(U32(p)) | static_cast<std::uint64_t>(U32(p + 4)) << 32;
}

class File {
public:
    explicit File(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (file_ != nullptr)
            std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~File() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Size(std::uint64_t& size) {
        if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0)
            return false;
        const long end = std::ftell(file_);
        size = static_cast<std::uint64_t>(end);
        return end >= 0;
    }
    bool ReadAt(std::uint64_t offset, std::size_t size, std::vector<unsigned char>& out) {
        out.resize(size);
        return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0 &&
               std::fread(out.data(), 1, size, file_) == size;
    }

private:
    std::FILE* file_;
};

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t start = 0;  // where the directory begins in the file
    std::uint64_t shift = 0;  // bytes in front of the archive, added to every stored offset
};

// Finds the directory through the end record (and the zip64 records when the end record
// points to them), as minizip does: the last end signature within reach of the file's end.
bool LocateDirectory(File& file, std::uint64_t fileSize, Directory& directory) {
    if (fileSize < kEndBytes)
        return false;
    const std::uint64_t tailBytes = std::min<std::uint64_t>(fileSize, kEndBytes + kMaxCommentBytes);
    const std::uint64_t tailStart = fileSize - tailBytes;
    std::vector<unsigned char> tail;
    if (!file.ReadAt(tailStart, static_cast<std::size_t>(tailBytes), tail))
        return false;
    std::size_t at = tail.size() - kEndBytes + 1;
    do {
        --at;
    } while (at > 0 && U32(&tail[at]) != kEndSignature);
    if (U32(&tail[at]) != kEndSignature)
        return false;
    const unsigned char* end = &tail[at];
    if (U16(end + 4) != 0 || U16(end + 6) != 0 || U16(end + 8) != U16(end + 10))
        return false;
    directory.entries = U16(end + 10);
    directory.size = U32(end + 12);
    std::uint64_t offset = U32(end + 16);
    std::uint64_t recordPosition = tailStart + at;

    if (directory.entries == 0xFFFF || directory.size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        if (recordPosition < kZip64LocatorBytes)
            return false;
        std::vector<unsigned char> locator;
        if (!file.ReadAt(recordPosition - kZip64LocatorBytes, kZip64LocatorBytes, locator) ||
            U32(locator.data()) != kZip64LocatorSignature) {
            return false;
        }
        const std::uint64_t zip64End = U64(locator.data() + 8);
        std::vector<unsigned char> record;
        if (zip64End > fileSize || !file.ReadAt(zip64End, kZip64EndBytes, record) ||
            U32(record.data()) != kZip64EndSignature || U32(record.data() + 16) != 0 ||
            U32(record.data() + 20) != 0 || U64(record.data() + 24) != U64(record.data() + 32)) {
            return false;
        }
        directory.entries = U64(record.data() + 32);
        directory.size = U64(record.data() + 40);
        offset = U64(record.data() + 48);
        recordPosition = zip64End;
    }
    // Data in front of the archive (a self-extractor) shifts every offset alike.
    if (recordPosition < directory.size || directory.size > kMaxDirectoryBytes)
        return false;
    directory.start = recordPosition - directory.size;
    if (offset > directory.start)
        return false;
    directory.shift = directory.start - offset;
    return true;
}

// The zip64 sizes and local header offset of a record whose 32-bit fields are full.
bool ReadZip64Fields(const unsigned char* extra, std::size_t length, ZipEntryInfo& info,
                     std::uint64_t& localHeader) {
    const bool wantUncompressed = info.uncompressedSize == 0xFFFFFFFF;
    const bool wantCompressed = info.compressedSize == 0xFFFFFFFF;
    const bool wantOffset = localHeader == 0xFFFFFFFF;
    if (!wantUncompressed && !wantCompressed && !wantOffset)
        return true;
    for (std::size_t at = 0; at + 4 <= length;) {
        const std::uint16_t id = U16(extra + at);
        const std::uint16_t size = U16(extra + at + 2);
        if (at + 4 + size > length)
            return false;
        if (id == 0x0001) {
            const unsigned char* field = extra + at + 4;
            std::size_t left = size;
            if (wantUncompressed) {
                if (left < 8)
                    return false;
                info.uncompressedSize = U64(field);
                field += 8;
                left -= 8;
            }
            if (wantCompressed) {
                if (left < 8)
                    return false;
                info.compressedSize = U64(field);
                field += 8;
                left -= 8;
            }
            if (wantOffset) {
                if (left < 8)
                    return false;
                localHeader = U64(field);
            }
            return true;
        }
        at += 4 + size;
    }
    return false;
}

}  // namespace

void ClassifyEntry(ZipEntryInfo& info) {
    for (char& c : info.name) {
        if (c == '\\')
            c = '/';
    }
    info.isDirectory = (info.externalAttributes & 0x10) != 0 ||
                       (info.UnixMode() & 0170000) == 0040000 ||
                       (!info.name.empty() && info.name.back() == '/');
}

bool WalkCentralDirectory(const std::string& path,
                          const std::function<bool(const ZipEntryInfo&)>& visit) {
    return WalkCentralDirectory(
        path, [&visit](const ZipEntryInfo& info, std::uint64_t) { return visit(info); });
}

bool WalkCentralDirectory(
    const std::string& path,
    const std::function<bool(const ZipEntryInfo&, std::uint64_t localHeader)>& visit) {
    File file(path);
    std::uint64_t fileSize = 0;
    Directory directory;
    std::vector<unsigned char> data;
    if (!file.Size(fileSize) || !LocateDirectory(file, fileSize, directory) ||
        !file.ReadAt(directory.start, static_cast<std::size_t>(directory.size), data)) {
        return false;
    }
    // Every record is checked before the first is reported.
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        if (data.size() - at < kRecordBytes || U32(&data[at]) != kRecordSignature)
            return false;
        const std::size_t nameLength = U16(&data[at + 28]);
        const std::size_t extraLength = U16(&data[at + 30]);
        const std::size_t length = kRecordBytes + nameLength + extraLength + U16(&data[at + 32]);
        if (data.size() - at < length)
            return false;
        ZipEntryInfo sizes;
        sizes.compressedSize = U32(&data[at + 20]);
        sizes.uncompressedSize = U32(&data[at + 24]);
        std::uint64_t localHeader = U32(&data[at + 42]);
        if (!ReadZip64Fields(&data[at + kRecordBytes + nameLength], extraLength, sizes,
                             localHeader)) {
            return false;
        }
        at += length;
    }
    ZipEntryInfo info;
    at = 0;
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        const unsigned char* record = &data[at];
        const std::size_t nameLength = U16(record + 28);
        const std::size_t extraLength = U16(record + 30);
        info.versionMadeBy = U16(record + 4);
        info.versionNeeded = U16(record + 6);
        info.flags = U16(record + 8);
        info.compressionMethod = U16(record + 10);
        info.dosDate = U32(record + 12);
        info.crc = U32(record + 16);
        info.compressedSize = U32(record + 20);
        info.uncompressedSize = U32(record + 24);
        info.externalAttributes = U32(record + 38);
        info.name.assign(reinterpret_cast<const char*>(record + kRecordBytes), nameLength);
        std::uint64_t localHeader = U32(record + 42);
        // Checked above.
        ReadZip64Fields(record + kRecordBytes + nameLength, extraLength, info, localHeader);
        ClassifyEntry(info);
        if (!visit(info, localHeader + directory.shift))
            return true;
        at += kRecordBytes + nameLength + extraLength + U16(record + 32);
    }
    return true;
}

}  // namespace tw::zip
