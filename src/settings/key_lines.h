#pragma once
// The "key = value" lines of the site's key files (SETUP, POSTSETUP) and code-map files: how a
// line splits, how values read, and how lines are written back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// text without blanks (space, tab and other ASCII white space) at either end.
std::string_view TrimBlanks(std::string_view text);

struct KeyLine {
    std::string_view key;    // trimmed
    std::string_view value;  // trimmed
};

// Splits a line at its first '='. nullopt for a line without '=' (such lines are ignored).
std::optional<KeyLine> SplitKeyLine(std::string_view line);

// A boolean value: true exactly when it reads "TRUE" in any letter case.
bool IsTrueText(std::string_view value);

// The number at the start of text as atoi reads it: leading blanks, an optional sign, digits;
// whatever follows is ignored; 0 when there are no digits. Values beyond the 32-bit range are
// clamped to it.
std::int32_t LeadingInteger(std::string_view text);

// Builds the text of a key file, one "%s = ..." line per call, in the call order. A value is
// cut at its first line break.
class KeyFileText {
public:
    void Text(std::string_view key, std::string_view value);
    void Bool(std::string_view key, bool value);               // "TRUE" / "FALSE"
    void Signed(std::string_view key, std::int32_t value);     // "%d"
    void Unsigned(std::string_view key, std::uint32_t value);  // "%u"

    const std::string& Content() const { return content_; }

private:
    std::string content_;
};

}  // namespace tw
