#pragma once
// One raw deflate stream reused for entry after entry (internal to the zip library).
//
// Setting up a deflate stream allocates about a quarter of a megabyte; doing that for each of
// thousands of small journal files costs more than compressing them. Resetting one stream
// between entries keeps the allocations and only clears its tables.

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace tw::zip {

class EntryDeflater {
public:
    EntryDeflater() : out_(64 * 1024) {}
    ~EntryDeflater() {
        if (initialised_)
            deflateEnd(&stream_);
    }
    EntryDeflater(const EntryDeflater&) = delete;
    EntryDeflater& operator=(const EntryDeflater&) = delete;

    // Starts a new entry at the default level. False when zlib cannot set up the stream.
    bool Reset() {
        crc_ = crc32(0, nullptr, 0);
        inputBytes_ = 0;
        if (!initialised_) {
            initialised_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                                        Z_DEFAULT_STRATEGY) == Z_OK;
            return initialised_;
        }
        return deflateReset(&stream_) == Z_OK;
    }

    // Compresses size bytes (at most 4 GiB at once); last ends the entry's data. Every piece of
    // output goes to sink(const unsigned char*, unsigned) -> bool; false from the sink or
    // from zlib fails the call.
    template <class Sink>
    bool Compress(const char* data, std::size_t size, bool last, Sink&& sink) {
        crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size));
        inputBytes_ += size;
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        do {
            stream_.next_out = out_.data();
            stream_.avail_out = static_cast<uInt>(out_.size());
            if (deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR)
                return false;
            const auto have = static_cast<unsigned>(out_.size() - stream_.avail_out);
            if (have > 0 && !sink(out_.data(), have))
                return false;
        } while (stream_.avail_out == 0);
        return true;
    }

    std::uint64_t InputBytes() const { return inputBytes_; }
    unsigned long Crc() const { return crc_; }

private:
    z_stream stream_{};
    bool initialised_ = false;
    std::vector<Bytef> out_;
    unsigned long crc_ = 0;
    std::uint64_t inputBytes_ = 0;
};

}  // namespace tw::zip
