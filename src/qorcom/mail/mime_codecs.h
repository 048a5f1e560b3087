#pragma once
// The transfer codings and character-set helpers of received mail. Each function takes bytes
// as they arrived and never fails: damaged input gives what can still be decoded, so that a
// part is never dropped for one bad character. Base64 lives in qorcom/common/base64.h.
//
// Plain functions over std::string (bytes); no state, safe from any thread.

#include <string>
#include <string_view>

namespace tw::qorcom::mail {

// Quoted-printable: "=" and two hexadecimal digits (either case) give one byte, "=" at the end
// of a line (before CR LF or LF) is a soft line break and is dropped; every other byte is
// copied, including an "=" not followed by two hexadecimal digits (a broken escape is kept as
// written, never read past the end of the text). NUL bytes are kept.
std::string QuotedPrintableDecode(std::string_view text);

// Text in the named character set as UTF-8. UTF-8 and US-ASCII (or no name) are taken as they
// are; any other set the C library knows is converted; an unknown set, or bytes that do not
// convert, are kept as they are. The name is matched without regard to case.
std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

// A header value with its encoded words ("=?charset?B?...?=" and "=?charset?Q?...?=") decoded
// to UTF-8; blanks between two adjacent encoded words are dropped. Anything that is not a
// well-formed encoded word stays as written.
std::string DecodeEncodedWords(std::string_view value);

// "%XX" escapes of an extended parameter value decoded (a "%" without two hexadecimal digits
// is kept).
std::string PercentDecode(std::string_view text);

// Case-insensitive ASCII comparison. (The mail-text library links nothing of the platform
// layer, whose wildcard helper has the same comparison, so that provider libraries can take it
// in alone.)
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace tw::qorcom::mail
