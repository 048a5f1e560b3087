#include "qorcom/common/base64.h"

#include <array>

namespace tw::qorcom {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<std::uint8_t, 256> DecodingTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotInAlphabet);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    return table;
}
constexpr std::array<std::uint8_t, 256> kDecoding = DecodingTable();

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string Base64Encode(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift : {18, 12, 6, 0}) out += kAlphabet[(v >> shift) & 0x3F];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = bytes[i] << 16;
        if (rest == 2)
            v |= bytes[i + 1] << 8;
        out += kAlphabet[(v >> 18) & 0x3F];
        out += kAlphabet[(v >> 12) & 0x3F];
        out += rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
    std::vector<std::uint8_t> out;
    std::uint32_t group = 0;
    int filled = 0;   // characters of the current group
    int padding = 0;  // "=" seen; once any, only "=" may follow, up to a whole group
    for (char c : text) {
        if (IsBlank(c))
            continue;
        if (c == '=') {
            if (filled < 2 || filled + ++padding > 4)
                return std::nullopt;
            continue;
        }
        const std::uint8_t value = kDecoding[static_cast<unsigned char>(c)];
        if (value == kNotInAlphabet || padding > 0)
            return std::nullopt;
        group = group << 6 | value;
        if (++filled == 4) {
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            out.push_back(static_cast<std::uint8_t>(group >> 8));
            out.push_back(static_cast<std::uint8_t>(group));
            filled = 0;
            group = 0;
        }
    }
    if (padding == 0)
        return filled == 0 ? std::optional(out) : std::nullopt;
    if (filled + padding != 4)
        return std::nullopt;
    if (filled == 2) {
        out.push_back(static_cast<std::uint8_t>(group >> 4));
    } else {
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
    }
    return out;
}

std::string Base64DecodeLenient(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int filled = 0;
    const auto flushPartial = [&] {
        if (filled == 2) {
            out += static_cast<char>(group >> 4);
        } else if (filled == 3) {
            out += static_cast<char>(group >> 10);
            out += static_cast<char>(group >> 2);
        }
        group = 0;
        filled = 0;
    };
    for (char c : text) {
        if (c == '=') {
            flushPartial();
            continue;
        }
        const std::uint8_t value = kDecoding[static_cast<unsigned char>(c)];
        if (value == kNotInAlphabet)
            continue;
        group = group << 6 | value;
        if (++filled == 4) {
            out += static_cast<char>(group >> 16);
            out += static_cast<char>(group >> 8);
            out += static_cast<char>(group);
            group = 0;
            filled = 0;
        }
    }
    flushPartial();
    return out;
}

}  // namespace tw::qorcom
