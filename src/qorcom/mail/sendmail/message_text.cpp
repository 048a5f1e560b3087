#include "qorcom/mail/sendmail/message_text.h"

#include <memory>

#include "qorcom/mail/mime_message.h"

namespace tw::qorcom::mail::sendmail {
namespace {

// The "Bcc: " line, its entries written as the composer writes those of To and Cc.
std::string BccLine(const std::vector<CRecipient>& recipients) {
    std::string line;
    for (const CRecipient& r : recipients) {
        if (r.type != RecipientType::kBCC)
            continue;
        line += line.empty() ? "Bcc: " : ",";
        line += (r.name.empty() ? std::string() : EncodeDisplayName(r.name, false)) + "<" +
                r.address + ">";
    }
    return line.empty() ? line : line + "\r\n";
}

std::string LfLineEnds(const std::string& crlfText) {
    std::string out;
    out.reserve(crlfText.size());
    for (std::size_t i = 0; i < crlfText.size(); ++i) {
        if (crlfText[i] == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n')
            continue;
        out += crlfText[i];
    }
    return out;
}

}  // namespace

std::optional<std::string> ComposeMessage(const OutgoingMessage& message, ComposeFailure* failure) {
    *failure = ComposeFailure::None;
    std::unique_ptr<CMailMessage> mail;
    if (message.files.empty()) {
        mail = std::make_unique<CMailMessage>(message.date);
    } else {
        auto mime = std::make_unique<CMIMEMessage>(message.date);
        for (const std::string& file : message.files) mime->AddFileAttachment(file);
        mail = std::move(mime);
    }
    // The local mail system takes 8-bit text.
    mail->SetEightBitAllowed(true);
    std::string error;
    for (const CRecipient& r : message.recipients) {
        if (!mail->AddRecipient(r.address, r.name, r.type, &error)) {
            *failure = ComposeFailure::Recipients;
            return std::nullopt;
        }
    }
    if (!mail->SetSender(message.sender, "", &error)) {
        *failure = ComposeFailure::Recipients;
        return std::nullopt;
    }
    mail->SetSubject(message.subject);
    mail->SetBody(message.body);
    if (!mail->FormatMessage(&error)) {
        *failure = mail->Recipients(RecipientType::kTo).empty() ? ComposeFailure::Recipients
                                                                : ComposeFailure::Files;
        return std::nullopt;
    }
    std::string header = mail->Header();
    // The header ends in an empty line: the Bcc line goes before it.
    header.insert(header.size() - 2, BccLine(message.recipients));
    return LfLineEnds(header + mail->Body());
}

}  // namespace tw::qorcom::mail::sendmail
