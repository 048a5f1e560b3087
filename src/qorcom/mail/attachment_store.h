#pragma once
// Where the mail readers save received attachments, and how.
//
// The directory is $QORCOM_MAIL_ATTACHMENTS when set, else $XDG_DATA_HOME/qorcom/attachments,
// else ~/.local/share/qorcom/attachments; the reader creates it (the last level private to the
// user, 0700) when it is missing.
//
// A saved file never replaces anything: it is written under a temporary ".~tw" name in the
// directory, synced, and moved to its name only if no file of that name exists (atomically, so
// two readers cannot take the same name); a taken name gets " (1)", " (2)" ... before its
// extension. So a reader that dies half-way leaves at worst a ".~tw" file, never a torn
// attachment under the real name. Thread-safe (nothing shared but the file system).

#include <optional>
#include <string>
#include <string_view>

namespace tw::qorcom::mail {

// The directory from the environment (see above), without a trailing '/'.
std::string AttachmentDirectory();

// Creates the directory (and its parents) when missing. False with *error = errno.
bool PrepareAttachmentDirectory(const std::string& directory, int* error);

// Saves bytes as a new file in directory under fileName, which must be one plain file name
// (no separator, not "", "." or ".."; EINVAL otherwise). Returns the full path of the file
// written, or nullopt with *error = errno.
std::optional<std::string> SaveAttachment(const std::string& directory, const std::string& fileName,
                                          std::string_view bytes, int* error);

// "name.ext" -> "name (n).ext"; a name without extension (or only a leading dot) gets " (n)" at
// its end.
std::string NumberedFileName(const std::string& fileName, int n);

}  // namespace tw::qorcom::mail
