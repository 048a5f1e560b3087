#pragma once
// The file behind one writing session of CZipper (internal to the zip library).
//
// minizip sees one seekable file. Reads come from the original archive (an addition first reads
// the original's directory); writes go to a temporary file in the archive's folder, which starts
// with a copy of the original's bytes up to where the first write lands. minizip only ever seeks
// back into the entry it is writing (to fill in the checksum and sizes), so the bytes of the
// current entry are held in memory until the zipper seals them after closing the entry; sealed
// bytes are handed to the temporary file in large pieces. Commit renames the temporary file
// over the archive; until then the original is untouched.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/text_file.h"

struct zlib_filefunc64_def_s;

namespace tw::zip {

class StagedArchiveFile {
public:
    // fromExisting: the session starts from the existing archive at targetPath.
    StagedArchiveFile(std::string targetPath, bool fromExisting);
    ~StagedArchiveFile();
    StagedArchiveFile(const StagedArchiveFile&) = delete;
    StagedArchiveFile& operator=(const StagedArchiveFile&) = delete;

    // Points minizip's file functions at this object.
    void FillFunctions(zlib_filefunc64_def_s& functions);

    // Everything before the current position is final.
    void Seal();
    // Nothing written from now on is kept and Commit leaves the archive as it was (a session
    // that added nothing need not rewrite the archive).
    void DiscardWrites() { discard_ = true; }
    // After minizip closed the archive: puts the new archive in place. False (and the archive
    // unchanged) after any failure.
    bool Commit();
    // Drops the temporary file; the archive stays as it was.
    void Abandon();

    bool Failed() const { return failed_; }
    int Error() const { return error_; }

private:
    bool OpenForMinizip();
    unsigned long Read(void* buffer, unsigned long size);
    unsigned long Write(const void* buffer, unsigned long size);
    long Seek(std::uint64_t offset, int origin);
    bool StartWriting();
    bool Flush(std::size_t bytes);
    std::uint64_t Size() const;
    void Fail(int error);

    friend struct StagedArchiveCallbacks;

    std::string target_;
    bool fromExisting_;
    std::FILE* original_ = nullptr;
    std::uint64_t originalSize_ = 0;
    std::unique_ptr<platform::AtomicFileWriter> writer_;
    std::string window_;             // bytes from windowStart_ not yet handed to writer_
    std::uint64_t windowStart_ = 0;  // bytes before it are in the temporary file
    std::uint64_t position_ = 0;
    bool writing_ = false;
    bool discard_ = false;
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace tw::zip
