#include "settings/key_lines.h"

#include <charconv>
#include <limits>

#include "platform/wildcard.h"

namespace tw {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<KeyLine> SplitKeyLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1))};
}

bool IsTrueText(std::string_view value) {
    return platform::EqualsIgnoreCase(value, "TRUE");
}

std::int32_t LeadingInteger(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    std::size_t digits = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (value <= kLimit)
            value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

void KeyFileText::Text(std::string_view key, std::string_view value) {
    // A line break inside a value would start a line of its own, and could set another key
    // when the file is read back.
    value = value.substr(0, value.find_first_of("\r\n"));
    content_.append(key);
    content_.append(" = ");
    content_.append(value);
    content_.push_back('\n');
}

void KeyFileText::Bool(std::string_view key, bool value) {
    Text(key, value ? "TRUE" : "FALSE");
}

void KeyFileText::Signed(std::string_view key, std::int32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    Text(key, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void KeyFileText::Unsigned(std::string_view key, std::uint32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    Text(key, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

}  // namespace tw
