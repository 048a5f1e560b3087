#pragma once
// CMailMessage: an outgoing mail message as text — recipients, sender, subject, the header lines
// and a plain body — ready for the SMTP sender (smtp_client.h), which writes Header() and then
// Body() inside DATA.
//
// Header lines, in this order, each ending in CR LF: "From: ", "To: ", "Cc: " (only with CC
// recipients), "Date: " ("%a, %d %b %Y %H:%M:%S " and the zone), "Subject: ",
// "X-Mailer: QORCom Mail"; then the MIME lines a body needs, and an empty line. Recipients are
// written name "<" address ">", separated by "," with no blank. The zone is the signed offset
// from UTC in hours and minutes ("+0530") followed by the C library's abbreviation of the
// local zone (tm_zone) in parentheses, e.g. "+0100 (CET)".
//
// What callers hand in never becomes protocol or structure:
//   - an address holding a control character, "<" or ">" is refused (AddRecipient, SetSender
//     return false with a message) before anything is sent;
//   - CR, LF and other control characters in a subject or display name become blanks, a
//     display name holding specials ("()<>[]:;@\,.) is quoted with its quotes and backslashes
//     escaped, and text that is not ASCII is written as RFC 2047 encoded words
//     (=?UTF-8?B?...?=). Texts are UTF-8.
//   - a body that is not ASCII goes as text/plain; charset=utf-8, in 8bit when the server takes
//     8BITMIME (SetEightBitAllowed), else quoted-printable; a body with a line longer than 998
//     octets goes quoted-printable. A plain ASCII body keeps its exact bytes (line ends made
//     CR LF) and the message gets no MIME lines.
//
// Objects are used by one thread at a time. Nothing throws but std::bad_alloc.

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tw::qorcom::mail {

enum class RecipientType { kTo = 0, kCC = 1, kBCC = 2 };

struct CRecipient {
    std::string address;
    std::string name;  // the display name, empty for a bare address
    RecipientType type = RecipientType::kTo;
};

// One entry of an address list: "address" or "Display Name <address>" (the name may be quoted).
struct Mailbox {
    std::string address;
    std::string name;
};

// The entries of a ";"-separated list, trimmed, empty entries skipped. A ";" inside double
// quotes or angle brackets does not separate.
std::vector<Mailbox> ParseAddressList(std::string_view list);
// One entry as above.
Mailbox ParseMailbox(std::string_view entry);

// Empty when the address may go into a header and an SMTP command; else why not.
std::string CheckAddress(std::string_view address);

// Caller-given text kept to one header line: a line break (CR LF, CR or LF) and every other
// control character (tab included) become one blank, so the text cannot start a header line of
// its own (a hidden Bcc, say).
std::string OneLine(std::string_view text);

// A subject or similar unstructured header text: control characters as blanks; RFC 2047 encoded
// words, one per folded line, when it is not ASCII or too long for one line.
std::string EncodeHeaderText(std::string_view text);
// A display name: control characters as blanks; encoded words when not ASCII; quoted when it
// holds specials (or always, with alwaysQuote).
std::string EncodeDisplayName(std::string_view name, bool alwaysQuote);
// "Date: " value for a time: "Mon, 07 Dec 2026 22:29:34 +0530 (IST)".
std::string FormatDate(std::time_t when);

// Text with every bare CR and bare LF made CR LF.
std::string NormalizeLineEnds(std::string_view text);
bool IsAscii(std::string_view text);
// True when a line (between CR LFs) is longer than 998 octets.
bool HasOverlongLine(std::string_view crlfText);
// Base64 of bytes as one unbroken line.
std::string Base64Text(std::string_view bytes);
// The text without its leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);
// Base64 in lines of 76 characters (57 bytes each, the last shorter), each ending in CR LF.
std::string Base64Lines(std::string_view bytes);
// Quoted-printable (RFC 2045) of CR LF text: CR LF stay hard line breaks, lines are cut with
// soft breaks to at most 76 characters, blanks before a line end are encoded.
std::string QuotedPrintableEncode(std::string_view crlfText);

inline constexpr const char* kMailerName = "QORCom Mail";

// How a body text travels: its Content-Type and Content-Transfer-Encoding values and the text
// as sent. Both values are "" for plain 7-bit ASCII that needs no MIME lines.
struct TextCoding {
    std::string contentType;       // "text/plain; charset=utf-8" or ""
    std::string transferEncoding;  // "8bit", "quoted-printable", "base64" or ""
    std::string text;              // CR LF text, encoded
};
// ASCII with short lines goes as it is; other text in 8bit when eightBitAllowed and its lines
// are short, else quoted-printable; with forceBase64 always in Base64. Line ends become CR LF.
TextCoding CodeText(std::string_view text, bool eightBitAllowed, bool forceBase64);

class CMailMessage {
public:
    // when: the message time (the Date line).
    explicit CMailMessage(std::time_t when = std::time(nullptr));
    virtual ~CMailMessage();
    CMailMessage(const CMailMessage&) = delete;
    CMailMessage& operator=(const CMailMessage&) = delete;

    // False with *error (and nothing added) when the address is refused.
    bool AddRecipient(std::string_view address, std::string_view name, RecipientType type,
                      std::string* error);
    // Every entry of a ";"-separated list; false with *error at the first refused entry, none
    // of the list's entries added then.
    bool AddMultipleRecipients(std::string_view list, RecipientType type, std::string* error);
    const std::vector<CRecipient>& Recipients() const { return recipients_; }
    std::vector<CRecipient> Recipients(RecipientType type) const;

    // from: an address or "Name <address>"; a non-empty screenName replaces the name. False
    // with *error when the address is refused.
    bool SetSender(std::string_view from, std::string_view screenName, std::string* error);
    const std::string& SenderAddress() const { return senderAddress_; }
    void SetSubject(std::string_view subject) { subject_ = subject; }
    void SetBody(std::string_view body) { bodyText_ = body; }
    // Whether the receiving server takes 8-bit text (8BITMIME): decides how a non-ASCII body
    // travels. Off until set.
    void SetEightBitAllowed(bool allowed) { eightBit_ = allowed; }

    // Builds the header and body texts. False with *error ("No Recipients") without a To
    // recipient, or when a part cannot be read.
    bool FormatMessage(std::string* error);
    // Valid after FormatMessage: the header lines ending in an empty line, and the body.
    const std::string& Header() const { return header_; }
    const std::string& Body() const { return body_; }

protected:
    virtual void FormatHeader();
    virtual bool FormatBody(std::string* error);
    virtual void EndHeader();
    void AddHeaderLine(std::string_view line);

    std::string senderAddress_, senderName_, subject_;
    std::string bodyText_;       // as the caller gave it
    std::string header_, body_;  // as sent
    std::vector<CRecipient> recipients_;
    std::time_t when_;
    bool eightBit_ = false;
    TextCoding bodyCoding_;  // the plain body's coding, set by FormatBody
};

}  // namespace tw::qorcom::mail
