#pragma once
// UTF-8 <-> UTF-16 conversion. Text inside the programs is UTF-8; text crossing a COM interface
// is UTF-16 (BSTR, LPOLESTR). Malformed input never fails a conversion: each bad byte or unpaired
// surrogate becomes U+FFFD, because callers pass text through and must not lose the rest of it.

#include <string>
#include <string_view>

namespace comlite {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// ASCII-only case folding: identifiers and registry key names are ASCII in practice, and a
// locale-dependent fold would make lookups differ between machines.
char16_t FoldAscii(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// UTF-16 text against an ASCII name (as found in dispatch tables).
bool EqualsIgnoreCase(std::u16string_view a, std::string_view asciiName);

}  // namespace comlite
