#pragma once
// Small text rules shared by the maintenance writers and readers.

#include <optional>
#include <string_view>

#include "messages/message.h"  // CutToChars: descriptions are cut by characters

namespace tw::naxml {

// text without blanks, tabs and line ends at both ends.
std::string_view TrimWhiteSpace(std::string_view text);

// The number a version attribute starts with ("3.3", " 3.40"), read in the C locale; nullopt
// when it does not start with one.
std::optional<double> VersionNumber(std::string_view text);

// The integer value text starts with after white space, as the department grid takes it:
// "12" -> 12, "+7x" -> 7, "abc" -> 0; values beyond 32 bits give 0.
int LeadingInteger(std::string_view text);

}  // namespace tw::naxml
