#include <minizip/ioapi.h>

#include "zip/staged_archive_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace tw::zip {

namespace {

// Sealed bytes are handed to the temporary file once this many have gathered, so a session of
// many small entries makes few large writes.
constexpr std::size_t kFlushThreshold = 1 << 20;
constexpr std::size_t kCopyPiece = 1 << 16;

}  // namespace

StagedArchiveFile::StagedArchiveFile(std::string targetPath, bool fromExisting)
    : target_(std::move(targetPath)), fromExisting_(fromExisting) {}

StagedArchiveFile::~StagedArchiveFile() {
    Abandon();
}

void StagedArchiveFile::Fail(int error) {
    if (!failed_)
        error_ = error != 0 ? error : EIO;
    failed_ = true;
}

bool StagedArchiveFile::OpenForMinizip() {
    if (fromExisting_) {
        original_ = std::fopen(target_.c_str(), "rb");
        if (original_ == nullptr) {
            Fail(errno);
            return false;
        }
        if (std::fseek(original_, 0, SEEK_END) != 0) {
            Fail(errno);
            return false;
        }
        const long size = std::ftell(original_);
        if (size < 0) {
            Fail(errno);
            return false;
        }
        originalSize_ = static_cast<std::uint64_t>(size);
    }
    writer_ = std::make_unique<platform::AtomicFileWriter>(target_);
    if (!writer_->Open()) {
        Fail(writer_->Error());
        return false;
    }
    return true;
}

std::uint64_t StagedArchiveFile::Size() const {
    return writing_ ? windowStart_ + window_.size() : originalSize_;
}

unsigned long StagedArchiveFile::Read(void* buffer, unsigned long size) {
    if (failed_)
        return 0;
    if (writing_) {
        // minizip does not read back what it wrote; serve it from memory all the same.
        if (position_ < windowStart_ || position_ >= Size())
            return 0;
        const std::size_t offset = position_ - windowStart_;
        const std::size_t n = std::min<std::size_t>(size, window_.size() - offset);
        std::memcpy(buffer, window_.data() + offset, n);
        position_ += n;
        return static_cast<unsigned long>(n);
    }
    if (original_ == nullptr || position_ >= originalSize_)
        return 0;
    if (std::fseek(original_, static_cast<long>(position_), SEEK_SET) != 0) {
        Fail(errno);
        return 0;
    }
    const std::size_t n = std::fread(buffer, 1, size, original_);
    if (n < size && std::ferror(original_))
        Fail(errno);
    position_ += n;
    return static_cast<unsigned long>(n);
}

bool StagedArchiveFile::StartWriting() {
    // The new archive begins with the original's bytes up to the first write: all of them for
    // an archive written behind existing data, everything before the old directory for an
    // addition.
    if (position_ > originalSize_) {
        Fail(EINVAL);
        return false;
    }
    if (position_ > 0) {
        std::string piece(kCopyPiece, '\0');
        if (std::fseek(original_, 0, SEEK_SET) != 0) {
            Fail(errno);
            return false;
        }
        std::uint64_t left = position_;
        while (left > 0) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyPiece));
            const std::size_t got = std::fread(piece.data(), 1, want, original_);
            if (got != want) {
                Fail(std::ferror(original_) ? errno : EIO);
                return false;
            }
            if (!writer_->Write(std::string_view(piece.data(), got))) {
                Fail(writer_->Error());
                return false;
            }
            left -= got;
        }
    }
    if (original_ != nullptr) {
        std::fclose(original_);
        original_ = nullptr;
    }
    windowStart_ = position_;
    writing_ = true;
    return true;
}

unsigned long StagedArchiveFile::Write(const void* buffer, unsigned long size) {
    if (failed_)
        return 0;
    if (discard_) {
        position_ += size;
        return size;
    }
    if (!writing_ && !StartWriting())
        return 0;
    if (position_ < windowStart_) {
        // Would rewrite bytes already in the temporary file: minizip never does this.
        Fail(EINVAL);
        return 0;
    }
    const std::size_t offset = position_ - windowStart_;
    if (offset == window_.size()) {
        window_.append(static_cast<const char*>(buffer), size);  // the usual case
    } else {
        if (offset + size > window_.size())
            window_.resize(offset + size);
        std::memcpy(window_.data() + offset, buffer, size);
    }
    position_ += size;
    return size;
}

long StagedArchiveFile::Seek(std::uint64_t offset, int origin) {
    std::uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = position_;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = Size();
            break;
        default:
            return -1;
    }
    position_ = base + offset;
    return 0;
}

void StagedArchiveFile::Seal() {
    if (!writing_ || failed_ || position_ < windowStart_)
        return;
    const std::size_t sealed = std::min<std::size_t>(position_ - windowStart_, window_.size());
    if (sealed >= kFlushThreshold)
        Flush(sealed);
}

bool StagedArchiveFile::Flush(std::size_t bytes) {
    if (bytes == 0)
        return true;
    if (!writer_->Write(std::string_view(window_.data(), bytes))) {
        Fail(writer_->Error());
        return false;
    }
    window_.erase(0, bytes);
    windowStart_ += bytes;
    return true;
}

bool StagedArchiveFile::Commit() {
    if (failed_ || writer_ == nullptr) {
        Abandon();
        return false;
    }
    if (discard_ || (!writing_ && fromExisting_)) {
        // Nothing new: the archive stays as it is.
        Abandon();
        return true;
    }
    if (!writing_ && !StartWriting()) {
        Abandon();
        return false;
    }
    if (!Flush(window_.size()) || !writer_->Commit()) {
        if (!failed_)
            Fail(writer_->Error());
        Abandon();
        return false;
    }
    writer_.reset();
    return true;
}

void StagedArchiveFile::Abandon() {
    if (original_ != nullptr) {
        std::fclose(original_);
        original_ = nullptr;
    }
    if (writer_ != nullptr)
        writer_->Abandon();
    writer_.reset();
    window_.clear();
    window_.shrink_to_fit();
}

// minizip's file functions, routed to the object passed as their opaque pointer.
struct StagedArchiveCallbacks {
    static StagedArchiveFile& Self(voidpf opaque) {
        return *static_cast<StagedArchiveFile*>(opaque);
    }

    static voidpf ZCALLBACK Open(voidpf opaque, const void*, int) {
        return Self(opaque).OpenForMinizip() ? opaque : nullptr;
    }
    static uLong ZCALLBACK Read(voidpf opaque, voidpf, void* buffer, uLong size) {
        return Self(opaque).Read(buffer, size);
    }
    static uLong ZCALLBACK Write(voidpf opaque, voidpf, const void* buffer, uLong size) {
        return Self(opaque).Write(buffer, size);
    }
    static ZPOS64_T ZCALLBACK Tell(voidpf opaque, voidpf) { return Self(opaque).position_; }
    static long ZCALLBACK Seek(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
        return Self(opaque).Seek(offset, origin);
    }
    // The temporary file stays open until the zipper commits or abandons it.
    static int ZCALLBACK Close(voidpf opaque, voidpf) { return Self(opaque).failed_ ? -1 : 0; }
    static int ZCALLBACK Error(voidpf opaque, voidpf) { return Self(opaque).failed_ ? 1 : 0; }
};

void StagedArchiveFile::FillFunctions(zlib_filefunc64_def_s& functions) {
    functions.zopen64_file = &StagedArchiveCallbacks::Open;
    functions.zread_file = &StagedArchiveCallbacks::Read;
    functions.zwrite_file = &StagedArchiveCallbacks::Write;
    functions.ztell64_file = &StagedArchiveCallbacks::Tell;
    functions.zseek64_file = &StagedArchiveCallbacks::Seek;
    functions.zclose_file = &StagedArchiveCallbacks::Close;
    functions.zerror_file = &StagedArchiveCallbacks::Error;
    functions.opaque = this;
}

}  // namespace tw::zip
