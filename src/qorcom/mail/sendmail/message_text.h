#pragma once
// The text of an outgoing message as the system's sendmail reads it with "-t": the composer's
// message (mail_message.h, mime_message.h: header lines, then the plain body, or a
// multipart/mixed body with the files in Base64) with a Bcc line added, since sendmail -t takes
// its recipients from the To, Cc and Bcc lines and removes the Bcc line itself, and with LF
// line ends, as sendmail reads its standard input.
//
// Header safety is the composer's: an address holding a control character or an angle bracket
// is refused; control characters in a subject or a display name become blanks.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "qorcom/mail/mail_message.h"

namespace tw::qorcom::mail::sendmail {

struct OutgoingMessage {
    std::vector<CRecipient> recipients;
    std::string sender;  // the From address
    std::string subject;
    std::string body;
    std::vector<std::string> files;  // paths of readable regular files
    std::time_t date = 0;
};

enum class ComposeFailure { None, Recipients, Files };

// The message text; nullopt with *failure when a recipient is refused or there is no To
// recipient (Recipients), or a file cannot be read whole (Files).
std::optional<std::string> ComposeMessage(const OutgoingMessage& message, ComposeFailure* failure);

}  // namespace tw::qorcom::mail::sendmail
