#include "qorcom/mail/sendmail/message_text.h"

#include <cstdio>
#include <span>
#include <string_view>

#include "qorcom/common/base64.h"
#include "qorcom/mail/header_text.h"

namespace tw::qorcom::mail::sendmail {
namespace {

using mail::HoldsLineBreak;
using mail::OneLine;

constexpr std::size_t kBase64LineLength = 76;

bool IsPlainAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x7f || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

std::string Base64Of(std::string_view bytes) {
    return Base64Encode(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// A header text, as an encoded word when it is not plain ASCII.
std::string HeaderText(std::string_view text) {
    const std::string line = OneLine(text);
    if (IsPlainAscii(line))
        return line;
    return "=?UTF-8?B?" + Base64Of(line) + "?=";
}

std::string DisplayName(std::string_view name) {
    const std::string line = OneLine(name);
    if (!IsPlainAscii(line))
        return HeaderText(line);
    if (line.find_first_of("()<>[]:;@\\,.\"") == std::string::npos)
        return line;
    std::string quoted = "\"";
    for (const char c : line) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string AddressList(const std::vector<Recipient>& recipients, Recipient::Kind kind) {
    std::string list;
    for (const Recipient& r : recipients) {
        if (r.kind != kind)
            continue;
        if (!list.empty())
            list += ", ";
        list += r.name.empty() ? r.address : DisplayName(r.name) + " <" + r.address + ">";
    }
    return list;
}

// LF line ends, as sendmail reads a message from its standard input.
std::string LocalLineEnds(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FileNameParameter(const std::string& name) {
    const std::string line = OneLine(name);
    if (IsPlainAscii(line) && line.find_first_of("\"\\") == std::string::npos)
        return "filename=\"" + line + "\"";
    // Percent-encoded UTF-8, as RFC 2231 has it.
    std::string encoded = "filename*=UTF-8''";
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z') || byte == '.' || byte == '-' || byte == '_') {
            encoded += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            encoded += hex;
        }
    }
    return encoded;
}

}  // namespace

std::string MailDate(std::time_t when) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&when, &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[local.tm_wday], local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::optional<std::string> ComposeMessage(const OutgoingMessage& message,
                                          const std::string& boundary) {
    for (const Recipient& r : message.recipients)
        if (r.address.empty() || HoldsLineBreak(r.address))
            return std::nullopt;
    std::string text;
    auto header = [&text](const char* name, const std::string& value) {
        if (!value.empty())
            text += std::string(name) + ": " + value + "\n";
    };
    header("To", AddressList(message.recipients, Recipient::Kind::To));
    header("Cc", AddressList(message.recipients, Recipient::Kind::Cc));
    // sendmail -t takes the Bcc recipients and removes the line before delivery.
    header("Bcc", AddressList(message.recipients, Recipient::Kind::Bcc));
    text += "Subject: " + HeaderText(message.subject) + "\n";
    header("Date", MailDate(message.date));
    header("X-Mailer", "QORCom Mail");
    text += "MIME-Version: 1.0\n";
    const std::string body = LocalLineEnds(message.body);
    if (message.files.empty()) {
        text += "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n";
        return text + body;
    }
    text += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\n\n";
    text += "This is a multi-part message in MIME format.\n";
    text += "--" + boundary +
            "\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n" +
            body + "\n";
    for (const FilePart& file : message.files) {
        text += "--" + boundary +
                "\nContent-Type: application/octet-stream\n"
                "Content-Transfer-Encoding: base64\n"
                "Content-Disposition: attachment; " +
                FileNameParameter(file.name) + "\n\n";
        const std::string encoded = Base64Of(file.bytes);
        for (std::size_t at = 0; at < encoded.size(); at += kBase64LineLength)
            text += encoded.substr(at, kBase64LineLength) + "\n";
    }
    return text + "--" + boundary + "--\n";
}

}  // namespace tw::qorcom::mail::sendmail
