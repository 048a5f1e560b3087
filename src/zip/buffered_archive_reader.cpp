#include <minizip/ioapi.h>

#include "zip/buffered_archive_reader.h"

#include <algorithm>
#include <cstring>

namespace tw::zip {

namespace {
constexpr std::size_t kWindowBytes = 64 * 1024;
}

BufferedArchiveReader::BufferedArchiveReader() : window_(kWindowBytes) {}

BufferedArchiveReader::~BufferedArchiveReader() {
    Close();
}

bool BufferedArchiveReader::Open(const char* path) {
    Close();
    file_ = std::fopen(path, "rb");
    if (file_ == nullptr)
        return false;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    const long size = std::fseek(file_, 0, SEEK_END) == 0 ? std::ftell(file_) : -1;
    if (size < 0) {
        Close();
        return false;
    }
    size_ = static_cast<std::uint64_t>(size);
    position_ = 0;
    windowStart_ = 0;
    windowLength_ = 0;
    failed_ = false;
    return true;
}

unsigned long BufferedArchiveReader::Read(void* buffer, unsigned long size) {
    // minizip reads a directory record a byte or two at a time: those reads must be cheap.
    if (position_ >= windowStart_ && position_ + size <= windowStart_ + windowLength_) {
        std::memcpy(buffer, window_.data() + (position_ - windowStart_), size);
        position_ += size;
        return size;
    }
    if (file_ == nullptr || failed_)
        return 0;
    auto* out = static_cast<char*>(buffer);
    unsigned long done = 0;
    while (done < size && position_ < size_) {
        if (position_ >= windowStart_ && position_ < windowStart_ + windowLength_) {
            const std::size_t offset = position_ - windowStart_;
            const std::size_t n = std::min<std::size_t>(size - done, windowLength_ - offset);
            std::memcpy(out + done, window_.data() + offset, n);
            done += n;
            position_ += n;
            continue;
        }
        if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) {
            failed_ = true;
            break;
        }
        if (size - done >= window_.size()) {
            // Large reads (entry data) go straight to the caller.
            const std::size_t n = std::fread(out + done, 1, size - done, file_);
            done += n;
            position_ += n;
            if (n == 0)
                break;
            continue;
        }
        windowStart_ = position_;
        windowLength_ = std::fread(window_.data(), 1, window_.size(), file_);
        if (windowLength_ == 0)
            break;
    }
    if (done < size && std::ferror(file_))
        failed_ = true;
    return done;
}

long BufferedArchiveReader::Seek(std::uint64_t offset, int origin) {
    std::uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = position_;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = size_;
            break;
        default:
            return -1;
    }
    position_ = base + offset;
    return 0;
}

int BufferedArchiveReader::Close() {
    int rc = 0;
    if (file_ != nullptr)
        rc = std::fclose(file_);
    file_ = nullptr;
    windowLength_ = 0;  // the window belongs to the closed file
    return rc;
}

// minizip's file functions, routed to the object passed as their opaque pointer.
struct BufferedArchiveCallbacks {
    static BufferedArchiveReader& Self(voidpf opaque) {
        return *static_cast<BufferedArchiveReader*>(opaque);
    }
    static voidpf ZCALLBACK Open(voidpf opaque, const void* filename, int mode) {
        if ((mode & ZLIB_FILEFUNC_MODE_WRITE) != 0 || filename == nullptr)
            return nullptr;
        return Self(opaque).Open(static_cast<const char*>(filename)) ? opaque : nullptr;
    }
    static uLong ZCALLBACK Read(voidpf opaque, voidpf, void* buffer, uLong size) {
        return Self(opaque).Read(buffer, size);
    }
    static uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }
    static ZPOS64_T ZCALLBACK Tell(voidpf opaque, voidpf) { return Self(opaque).position_; }
    static long ZCALLBACK Seek(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
        return Self(opaque).Seek(offset, origin);
    }
    static int ZCALLBACK Close(voidpf opaque, voidpf) { return Self(opaque).Close(); }
    static int ZCALLBACK Error(voidpf opaque, voidpf) { return Self(opaque).failed_ ? 1 : 0; }
};

void BufferedArchiveReader::FillFunctions(zlib_filefunc64_def_s& functions) {
    functions.zopen64_file = &BufferedArchiveCallbacks::Open;
    functions.zread_file = &BufferedArchiveCallbacks::Read;
    functions.zwrite_file = &BufferedArchiveCallbacks::Write;
    functions.ztell64_file = &BufferedArchiveCallbacks::Tell;
    functions.zseek64_file = &BufferedArchiveCallbacks::Seek;
    functions.zclose_file = &BufferedArchiveCallbacks::Close;
    functions.zerror_file = &BufferedArchiveCallbacks::Error;
    functions.opaque = this;
}

}  // namespace tw::zip
