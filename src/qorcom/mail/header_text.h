#pragma once
// Keeping caller-given text inside one header line of a mail message: a CR or LF in it would
// start a header line of the caller's making (a hidden Bcc, say). For texts handed on to a
// mail provider as they are; the composer (mail_message.h) blanks what it writes itself.

#include <string>
#include <string_view>

namespace tw::qorcom::mail {

// The text with every CR, LF and CR LF turned into one space.
std::string OneLine(std::string_view text);

}  // namespace tw::qorcom::mail
