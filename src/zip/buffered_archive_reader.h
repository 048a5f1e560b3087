#pragma once
// The file behind a CUnzipper (internal to the zip library): minizip seeks before nearly every
// small read of an archive's directory, which through stdio costs a system call each time.
// This reader keeps a window of the file in memory and serves seeks and reads inside it
// without the system.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct zlib_filefunc64_def_s;

namespace tw::zip {

class BufferedArchiveReader {
public:
    BufferedArchiveReader();
    ~BufferedArchiveReader();
    BufferedArchiveReader(const BufferedArchiveReader&) = delete;
    BufferedArchiveReader& operator=(const BufferedArchiveReader&) = delete;

    // Points minizip's file functions at this object; minizip opens and closes the file.
    void FillFunctions(zlib_filefunc64_def_s& functions);

private:
    friend struct BufferedArchiveCallbacks;

    bool Open(const char* path);
    unsigned long Read(void* buffer, unsigned long size);
    long Seek(std::uint64_t offset, int origin);
    int Close();

    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::vector<char> window_;
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    bool failed_ = false;
};

}  // namespace tw::zip
