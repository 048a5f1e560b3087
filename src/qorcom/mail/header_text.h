#pragma once
// Keeping caller-given text inside one header line of a mail message: a CR or LF in it would
// start a header line of the caller's making (a hidden Bcc, say).

#include <string>
#include <string_view>

namespace tw::qorcom::mail {

// True when the text holds a CR or LF: such an address is refused, not repaired.
bool HoldsLineBreak(std::string_view text);

// The text with every CR, LF and CR LF turned into one space: a subject, a display name or a
// file name stays one header line.
std::string OneLine(std::string_view text);

}  // namespace tw::qorcom::mail
