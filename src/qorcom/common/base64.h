#pragma once
// Base64 over the standard alphabet (A-Z a-z 0-9 + /) with "=" padding, encoded as one unbroken
// line.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw::qorcom {

std::string Base64Encode(std::span<const std::uint8_t> bytes);

// The bytes of a Base64 text; blanks and line ends between characters are ignored. nullopt for
// a character outside the alphabet, a padding character before the end, or a length that does
// not end on a whole group.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

// The bytes of a received mail part's Base64 text, decoded as far as it goes: line breaks and
// any other character outside the alphabet are skipped, "=" ends the current group (a group of
// two or three characters yields one or two bytes), and a lone last character yields nothing.
// Never fails: a damaged part gives the bytes that can still be had rather than none.
std::string Base64DecodeLenient(std::string_view text);

}  // namespace tw::qorcom
