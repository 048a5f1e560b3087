#pragma once
// Damage as a bad disk or a bad copy leaves it: a byte flipped inside one entry's stored data,
// the archive's directory intact, so that only reading the entry to its end shows it.

#include <cstdint>
#include <string>

namespace tw::test {

// Where the stored data of the entry whose local header carries name begins in an archive's
// bytes; std::string::npos when there is no such entry.
inline std::size_t EntryDataOffset(const std::string& bytes, const std::string& name) {
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    for (std::size_t at = 0; (at = bytes.find("PK\x03\x04", at)) != std::string::npos; at += 4) {
        if (at + 30 + name.size() <= bytes.size() && u16(at + 26) == name.size() &&
            bytes.compare(at + 30, name.size(), name) == 0) {
            return at + 30 + name.size() + u16(at + 28);
        }
    }
    return std::string::npos;
}

// Flips a byte `into` bytes into the entry's stored data; false when there is no such entry.
inline bool DamageEntry(std::string& bytes, const std::string& name, std::size_t into) {
    const std::size_t data = EntryDataOffset(bytes, name);
    if (data == std::string::npos || data + into >= bytes.size())
        return false;
    bytes[data + into] = static_cast<char>(bytes[data + into] ^ 0x55);
    return true;
}

}  // namespace tw::test
