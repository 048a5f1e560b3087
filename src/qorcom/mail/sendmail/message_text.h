#pragma once
// The text of an outgoing message as the system's sendmail reads it with "-t": header lines
// (To, Cc, Bcc, Subject, Date, MIME headers) and the body, with LF line ends; with attachments a
// multipart/mixed message whose file parts are Base64.
//
// Header safety: nothing given can add a header line. A CR or LF in an address makes the
// message unwritable (the caller refuses it); in a subject, a display name or a file name it
// becomes a space. Text that is not plain ASCII is carried as UTF-8 encoded words.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace tw::qorcom::mail::sendmail {

struct Recipient {
    enum class Kind { To, Cc, Bcc };
    Kind kind;
    std::string name;  // may be empty
    std::string address;
};

struct FilePart {
    std::string name;  // as the recipient sees it
    std::string bytes;
};

struct OutgoingMessage {
    std::vector<Recipient> recipients;
    std::string subject;
    std::string body;
    std::vector<FilePart> files;
    std::time_t date = 0;
};

// The message text; nullopt when an address holds a CR or LF or is empty.
std::optional<std::string> ComposeMessage(const OutgoingMessage& message,
                                          const std::string& boundary);

// "Mon, 07 Dec 2026 22:30:00 +0100" in the local zone, whatever the process's locale.
std::string MailDate(std::time_t when);

}  // namespace tw::qorcom::mail::sendmail
