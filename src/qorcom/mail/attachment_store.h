#pragma once
// Where the mail readers put the attachments of the messages they read, and how a name the
// sender chose becomes a file name.
//
// The directory is $QORCOM_MAIL_ATTACHMENTS when set, else ~/.local/share/qorcom/attachments;
// it is made when missing. A file appears there whole or not at all (written under a temporary
// name, then linked to its name), and never replaces a file already there: a taken name gets
// "-1", "-2" ... before its extension.

#include <optional>
#include <string>
#include <string_view>

namespace tw::qorcom::mail {

// The attachment directory, with no trailing '/'.
std::string AttachmentDirectory();

// A name the sender gave, made safe for one directory entry: only the part after the last '/'
// or '\', control characters removed, blanks trimmed; "", "." and ".." become "attachment".
std::string CleanAttachmentName(std::string_view name);

// Saves the bytes under the cleaned name in the directory (made when missing). The full path
// of the new file, or nullopt with *error (errno) when it cannot be written.
std::optional<std::string> SaveAttachment(const std::string& directory, std::string_view name,
                                          std::string_view bytes, int* error);

}  // namespace tw::qorcom::mail
