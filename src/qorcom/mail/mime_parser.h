#pragma once
// Taking a received mail message apart: its header fields, its text and its attachments.
//
//   ParsedMail mail = ParseMail(messageText);   // text in, struct out
//
// The message is the raw RFC 5322 text (CR LF or bare LF line ends) as a POP3 server or a
// Maildir file holds it. What the parser promises:
// - Header fields are unfolded before anything reads them and their names are matched without
//   regard to case, so a boundary on a continuation line is found.
// - Multipart bodies are walked to any depth up to kMaxNesting (a multipart part is walked, not
//   taken as an attachment); deeper ones are kept whole as attachments. In a
//   multipart/alternative the text alternative is taken and the others (HTML) are dropped; with
//   no text alternative they are kept as attachments.
// - text/plain and text/xml parts are text (converted to UTF-8 from their charset; eight-bit
//   text that names none and is not UTF-8 is read as windows-1252) and joined into the body,
//   unless their Content-Disposition says "attachment". Every other leaf part is an attachment.
//   A message without a closing boundary keeps its last part.
// - Transfer codings 7bit, 8bit, binary, quoted-printable and base64 (any case); damaged Base64
//   or quoted-printable is decoded as far as it goes, never dropped. Unknown codings are kept.
// - An attachment's name comes from Content-Disposition "filename" (RFC 2231 "filename*" too),
//   else Content-Type "file", else "name"; encoded words are decoded; only the part after the
//   last "/" or "\" is kept, and it is cleaned (see CleanAttachmentName), so a name from the
//   message can never lead outside a directory.
// Never throws except std::bad_alloc; any input gives a result. No state; safe from any thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tw::qorcom::mail {

inline constexpr int kMaxNesting = 16;

struct MailAttachment {
    std::string fileName;     // cleaned, never empty; see CleanAttachmentName
    std::string contentType;  // lower case, e.g. "application/octet-stream"
    std::string bytes;        // decoded
};

struct ParsedMail {
    std::string from, subject, date;       // unfolded, encoded words decoded to UTF-8
    std::vector<std::string> to, cc, bcc;  // one entry per address as written ("Name <a@b>")
    std::string body;                      // the text parts, joined in order
    std::vector<MailAttachment> attachments;
};

ParsedMail ParseMail(std::string_view message);

// A name from a message made safe as one file name: the part after the last "/" or "\",
// control characters and < > : " | ? * replaced by "_", leading dots and blanks and trailing
// dots and blanks removed, bytes that are not UTF-8 replaced by "_", at most 200 bytes (the
// extension kept). When nothing is left (also for "", "." and ".."), "attachment" followed by
// index.
std::string CleanAttachmentName(std::string_view name, std::size_t index);

// The addresses of an address-list header value, split at commas outside quotes, angle
// brackets and comments, each trimmed; empty entries are left out.
std::vector<std::string> SplitAddressList(std::string_view value);

}  // namespace tw::qorcom::mail
