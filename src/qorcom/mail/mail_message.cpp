#include "qorcom/mail/mail_message.h"

#include <cstdint>
#include <cstdio>
#include <span>

#include "qorcom/common/base64.h"

namespace tw::qorcom::mail {
namespace {

// Lines longer than this break the SMTP line limit (1000 octets with CR LF).
constexpr std::size_t kMaxLineOctets = 998;
// UTF-8 bytes per encoded word: 39 bytes give 52 Base64 characters, a word of 64, so that
// "Subject: " and one word stay within 78 characters.
constexpr std::size_t kEncodedWordBytes = 39;
// An ASCII header text longer than this is encoded so that it can be folded.
constexpr std::size_t kLongHeaderText = 900;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A text for an error message, its control characters made visible.
std::string Visible(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (IsControl(u)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// The encoded words of a UTF-8 text, each at most kEncodedWordBytes of it, cut between
// characters.
std::vector<std::string> EncodedWords(std::string_view text) {
    std::vector<std::string> words;
    while (!text.empty()) {
        std::size_t n = std::min(text.size(), kEncodedWordBytes);
        // Back up to the start of a character: continuation bytes are 10xxxxxx.
        while (n < text.size() && n > 1 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
        words.push_back("=?UTF-8?B?" + Base64Text(text.substr(0, n)) + "?=");
        text.remove_prefix(n);
    }
    return words;
}

bool HoldsSpecials(std::string_view text) {
    return text.find_first_of("()<>[]:;@\\,.\"") != std::string_view::npos;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// "name<address>" as the header lists recipients (a bare address as "<address>").
std::string HeaderEntry(const CRecipient& r) {
    return EncodeDisplayName(r.name, false) + "<" + r.address + ">";
}

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string OneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        line += IsControl(static_cast<unsigned char>(text[i])) ? ' ' : text[i];
    }
    return line;
}

std::string Base64Text(std::string_view bytes) {
    return Base64Encode(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

Mailbox ParseMailbox(std::string_view entry) {
    entry = TrimBlanks(entry);
    Mailbox box;
    const std::size_t open = entry.rfind('<');
    if (open == std::string_view::npos) {
        box.address = std::string(entry);
        return box;
    }
    // To the last ">": anything after the address's own bracket stays in it and is refused.
    const std::size_t close = entry.rfind('>');
    box.address = std::string(TrimBlanks(entry.substr(
        open + 1,
        (close == std::string_view::npos || close < open ? entry.size() : close) - open - 1)));
    std::string_view name = TrimBlanks(entry.substr(0, open));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        // A quoted name: its escapes undone, so that it is quoted once when written.
        std::string plain;
        for (std::size_t i = 1; i + 1 < name.size(); ++i) {
            if (name[i] == '\\' && i + 2 < name.size())
                ++i;
            plain += name[i];
        }
        box.name = plain;
    } else {
        box.name = std::string(name);
    }
    return box;
}

std::vector<Mailbox> ParseAddressList(std::string_view list) {
    std::vector<Mailbox> boxes;
    bool quoted = false, angled = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        const char c = i < list.size() ? list[i] : ';';
        if (c == '"' && !angled)
            quoted = !quoted;
        else if (c == '<' && !quoted)
            angled = true;
        else if (c == '>' && !quoted)
            angled = false;
        const bool end = i == list.size();
        if ((c == ';' && !quoted && !angled) || end) {
            const std::string_view entry = TrimBlanks(list.substr(start, i - start));
            if (!entry.empty())
                boxes.push_back(ParseMailbox(entry));
            start = i + 1;
        }
    }
    return boxes;
}

std::string CheckAddress(std::string_view address) {
    for (const char c : address) {
        if (IsControl(static_cast<unsigned char>(c)) || c == '<' || c == '>')
            return "Refused: the address \"" + Visible(address) +
                   "\" holds a control character or an angle bracket";
    }
    return {};
}

std::string EncodeHeaderText(std::string_view text) {
    const std::string blanked = OneLine(text);
    if (IsAscii(blanked) && blanked.size() <= kLongHeaderText)
        return blanked;
    std::string out;
    for (const std::string& word : EncodedWords(blanked)) {
        if (!out.empty())
            out += "\r\n ";
        out += word;
    }
    return out;
}

std::string EncodeDisplayName(std::string_view name, bool alwaysQuote) {
    const std::string blanked = OneLine(name);
    if (!IsAscii(blanked)) {
        std::string out;
        for (const std::string& word : EncodedWords(blanked)) {
            if (!out.empty())
                out += ' ';
            out += word;
        }
        return out;
    }
    if (alwaysQuote || HoldsSpecials(blanked))
        return Quoted(blanked);
    return blanked;
}

std::string FormatDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    const long offset = local.tm_gmtoff;
    const long magnitude = (offset < 0 ? -offset : offset) / 60;
    char text[96];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    std::string date = text;
    if (local.tm_zone != nullptr && *local.tm_zone != '\0')
        date += std::string(" (") + OneLine(local.tm_zone) + ")";
    return date;
}

std::string NormalizeLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool HasOverlongLine(std::string_view crlfText) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = crlfText.find("\r\n", start);
        const std::size_t length = (end == std::string_view::npos ? crlfText.size() : end) - start;
        if (length > kMaxLineOctets)
            return true;
        if (end == std::string_view::npos)
            return false;
        start = end + 2;
    }
}

std::string Base64Lines(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 57 * 2 + 4);
    for (std::size_t at = 0; at < bytes.size(); at += 57)
        out += Base64Text(bytes.substr(at, 57)) + "\r\n";
    return out;
}

std::string QuotedPrintableEncode(std::string_view crlfText) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = crlfText.find("\r\n", start);
        const std::string_view line =
            crlfText.substr(start, (end == std::string_view::npos ? crlfText.size() : end) - start);
        std::size_t column = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            std::string piece;
            if ((c >= 33 && c <= 126 && c != '=') || (IsBlank(line[i]) && !last))
                piece = static_cast<char>(c);
            else
                piece = {'=', kHex[c >> 4], kHex[c & 15]};
            // A soft break ("=" at the line end) keeps every line within 76 characters.
            if (column + piece.size() > 75) {
                out += "=\r\n";
                column = 0;
            }
            out += piece;
            column += piece.size();
        }
        if (end == std::string_view::npos)
            return out;
        out += "\r\n";
        start = end + 2;
    }
}

CMailMessage::CMailMessage(std::time_t when) : when_(when) {}

CMailMessage::~CMailMessage() = default;

bool CMailMessage::AddRecipient(std::string_view address, std::string_view name, RecipientType type,
                                std::string* error) {
    std::string why = CheckAddress(address);
    if (why.empty() && address.empty())
        why = "Refused: an empty address";
    if (!why.empty()) {
        *error = why;
        return false;
    }
    recipients_.push_back({std::string(address), std::string(name), type});
    return true;
}

bool CMailMessage::AddMultipleRecipients(std::string_view list, RecipientType type,
                                         std::string* error) {
    const std::size_t before = recipients_.size();
    for (const Mailbox& box : ParseAddressList(list)) {
        if (!AddRecipient(box.address, box.name, type, error)) {
            recipients_.resize(before);
            return false;
        }
    }
    return true;
}

std::vector<CRecipient> CMailMessage::Recipients(RecipientType type) const {
    std::vector<CRecipient> chosen;
    for (const CRecipient& r : recipients_)
        if (r.type == type)
            chosen.push_back(r);
    return chosen;
}

bool CMailMessage::SetSender(std::string_view from, std::string_view screenName,
                             std::string* error) {
    const Mailbox box = ParseMailbox(from);
    if (std::string why = CheckAddress(box.address); !why.empty()) {
        *error = why;
        return false;
    }
    senderAddress_ = box.address;
    senderName_ = screenName.empty() ? box.name : std::string(screenName);
    return true;
}

void CMailMessage::AddHeaderLine(std::string_view line) {
    header_ += line;
    header_ += "\r\n";
}

bool CMailMessage::FormatMessage(std::string* error) {
    if (Recipients(RecipientType::kTo).empty()) {
        *error = "No Recipients";
        return false;
    }
    header_.clear();
    // The body first: how it is coded decides the MIME lines of the header.
    if (!FormatBody(error))
        return false;
    FormatHeader();
    EndHeader();
    return true;
}

void CMailMessage::FormatHeader() {
    AddHeaderLine("From: " + (senderName_.empty() ? senderAddress_
                                                  : EncodeDisplayName(senderName_, true) + " <" +
                                                        senderAddress_ + ">"));
    // Joined by "," as one line; folded only where one line would break the line limit.
    const auto list = [](std::string_view label, const std::vector<CRecipient>& recipients) {
        std::string line(label);
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < recipients.size(); ++i) {
            const std::string entry = HeaderEntry(recipients[i]);
            if (i > 0) {
                line += ',';
                if (line.size() - lineStart + entry.size() > kMaxLineOctets - 2) {
                    line += "\r\n ";
                    lineStart = line.size() - 1;
                }
            }
            line += entry;
        }
        return line;
    };
    AddHeaderLine(list("To: ", Recipients(RecipientType::kTo)));
    if (const auto cc = Recipients(RecipientType::kCC); !cc.empty())
        AddHeaderLine(list("Cc: ", cc));
    AddHeaderLine("Date: " + FormatDate(when_));
    AddHeaderLine("Subject: " + EncodeHeaderText(subject_));
    AddHeaderLine(std::string("X-Mailer: ") + kMailerName);
    if (!bodyCoding_.contentType.empty()) {
        AddHeaderLine("MIME-Version: 1.0");
        AddHeaderLine("Content-Type: " + bodyCoding_.contentType);
        AddHeaderLine("Content-Transfer-Encoding: " + bodyCoding_.transferEncoding);
    }
}

bool CMailMessage::FormatBody(std::string*) {
    bodyCoding_ = CodeText(bodyText_, eightBit_, false);
    body_ = bodyCoding_.text;
    return true;
}

void CMailMessage::EndHeader() {
    header_ += "\r\n";
}

TextCoding CodeText(std::string_view text, bool eightBitAllowed, bool forceBase64) {
    static constexpr const char* kUtf8Text = "text/plain; charset=utf-8";
    std::string lines = NormalizeLineEnds(text);
    if (forceBase64)
        return {kUtf8Text, "base64", Base64Lines(lines)};
    const bool overlong = HasOverlongLine(lines);
    if (IsAscii(lines) && !overlong)
        return {"", "", std::move(lines)};
    if (eightBitAllowed && !overlong)
        return {kUtf8Text, "8bit", std::move(lines)};
    return {kUtf8Text, "quoted-printable", QuotedPrintableEncode(lines)};
}

}  // namespace tw::qorcom::mail
