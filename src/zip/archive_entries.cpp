#include "zip/archive_entries.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "zip/central_directory.h"

namespace tw::zip {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::uint32_t kEncryptedFlag = 0x1;
constexpr std::uint32_t kStored = 0;
constexpr std::uint32_t kDeflated = 8;
constexpr std::size_t kPieceBytes = 64 * 1024;
constexpr std::size_t kWindowBytes = 256 * 1024;

std::uint16_t U16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

// The archive file, read through a window of its bytes: entries are read in directory order,
// which is nearly always file order, so most reads are served from memory.
class ArchiveEntries::Source {
public:
    explicit Source(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (file_ != nullptr)
            std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~Source() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    // size bytes (at most kPieceBytes) at offset, valid until the next call; null when the
    // file is shorter or cannot be read.
    const unsigned char* At(std::uint64_t offset, std::size_t size) {
        if (offset < start_ || offset + size > start_ + length_) {
            if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
                return nullptr;
            start_ = offset;
            length_ = std::fread(window_.data(), 1, window_.size(), file_);
            if (length_ < size)
                return nullptr;
        }
        return window_.data() + (offset - start_);
    }

private:
    std::FILE* file_;
    std::vector<unsigned char> window_ = std::vector<unsigned char>(kWindowBytes);
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
};

// One raw inflate stream reused for entry after entry, counting and checksumming what it gives.
class ArchiveEntries::Inflater {
public:
    Inflater() : out_(kPieceBytes) {}
    ~Inflater() {
        if (initialised_)
            inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool Reset() {
        ended_ = false;
        if (!initialised_) {
            initialised_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
            return initialised_;
        }
        return inflateReset(&stream_) == Z_OK;
    }

    // Inflates the next piece of stored data, adding what comes out to size and crc. False on
    // bad data, output beyond limit, or data after the end of the stream.
    bool Inflate(const unsigned char* data, std::size_t length, std::uint64_t limit,
                 std::uint64_t& size, unsigned long& crc) {
        if (ended_)
            return false;
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = static_cast<uInt>(length);
        for (;;) {
            stream_.next_out = out_.data();
            stream_.avail_out = static_cast<uInt>(out_.size());
            const int rc = inflate(&stream_, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return false;
            const std::size_t produced = out_.size() - stream_.avail_out;
            crc = crc32(crc, out_.data(), static_cast<uInt>(produced));
            size += produced;
            if (size > limit)
                return false;
            if (rc == Z_STREAM_END) {
                ended_ = true;
                return stream_.avail_in == 0;
            }
            if (stream_.avail_in == 0 && stream_.avail_out != 0)
                return true;  // waits for the next piece
            if (rc == Z_BUF_ERROR && produced == 0)
                return false;
        }
    }

    bool Ended() const { return ended_; }

private:
    z_stream stream_{};
    bool initialised_ = false;
    bool ended_ = false;
    std::vector<Bytef> out_;
};

ArchiveEntries::ArchiveEntries() : inflater_(std::make_unique<Inflater>()) {}

ArchiveEntries::~ArchiveEntries() = default;

void ArchiveEntries::Close() {
    source_.reset();
    entries_.clear();
    localHeaders_.clear();
}

bool ArchiveEntries::Open(const std::string& path) {
    Close();
    auto source = std::make_unique<Source>(path);
    if (!source->IsOpen())
        return false;
    const bool walked =
        WalkCentralDirectory(path, [this](const ZipEntryInfo& info, std::uint64_t localHeader) {
            entries_.push_back(info);
            localHeaders_.push_back(localHeader);
            return true;
        });
    if (!walked) {
        Close();
        return false;
    }
    source_ = std::move(source);
    return true;
}

bool ArchiveEntries::Read(std::size_t index, const StoredDataSink& sink) {
    if (source_ == nullptr || index >= entries_.size())
        return false;
    const ZipEntryInfo& entry = entries_[index];
    const bool stored = entry.compressionMethod == kStored;
    if ((entry.flags & kEncryptedFlag) != 0 || (!stored && entry.compressionMethod != kDeflated))
        return false;
    if (stored && entry.compressedSize != entry.uncompressedSize)
        return false;
    const unsigned char* header = source_->At(localHeaders_[index], kLocalHeaderBytes);
    if (header == nullptr || U32(header) != kLocalHeaderSignature)
        return false;
    std::uint64_t at =
        localHeaders_[index] + kLocalHeaderBytes + U16(header + 26) + U16(header + 28);
    if (!stored && !inflater_->Reset())
        return false;

    unsigned long crc = crc32(0, nullptr, 0);
    std::uint64_t size = 0;
    for (std::uint64_t left = entry.compressedSize; left > 0;) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPieceBytes));
        const unsigned char* data = source_->At(at, length);
        if (data == nullptr || (sink && !sink(data, length)))
            return false;
        if (stored) {
            crc = crc32(crc, data, static_cast<uInt>(length));
            size += length;
        } else if (!inflater_->Inflate(data, length, entry.uncompressedSize, size, crc)) {
            return false;
        }
        at += length;
        left -= length;
    }
    // minizip writes no data at all for an empty deflated entry; other writers end the stream.
    const bool complete = stored || inflater_->Ended() || entry.compressedSize == 0;
    return complete && size == entry.uncompressedSize && crc == entry.crc;
}

std::uint32_t Crc32Of(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!bytes.empty()) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), piece);
        bytes.remove_prefix(piece);
    }
    return static_cast<std::uint32_t>(crc);
}

ContentChecksum::ContentChecksum() : buffer_(kPieceBytes) {}

bool ContentChecksum::Of(const std::string& path, std::uint64_t& size, std::uint32_t& crc) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::status(path, ec)))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::setvbuf(file, nullptr, _IONBF, 0);
    unsigned long sum = crc32(0, nullptr, 0);
    size = 0;
    std::size_t got;
    do {
        got = std::fread(buffer_.data(), 1, buffer_.size(), file);
        sum = crc32(sum, reinterpret_cast<const Bytef*>(buffer_.data()), static_cast<uInt>(got));
        size += got;
    } while (got == buffer_.size());
    const bool read = !std::ferror(file);
    std::fclose(file);
    crc = static_cast<std::uint32_t>(sum);
    return read;
}

}  // namespace tw::zip
