#pragma once
// A fuzz input as a peer's side of a connection: the bytes handed to the reader in pieces of a
// chosen size (so that lines and replies split at every place), then the end of the stream.
// Writes go nowhere. The bytes are borrowed.

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "qorcom/transfer/tcp_stream.h"

namespace tw::fuzz {

class PieceStream final : public qorcom::transfer::ByteStream {
public:
    PieceStream(std::string_view bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
    long Read(char* buffer, std::size_t size, int*) override {
        const std::size_t n = std::min({size, piece_, bytes_.size()});
        std::copy_n(bytes_.data(), n, buffer);
        bytes_.remove_prefix(n);
        return static_cast<long>(n);
    }
    bool WriteAll(const char*, std::size_t, int*) override { return true; }

private:
    std::string_view bytes_;
    std::size_t piece_;
};

}  // namespace tw::fuzz
