#include "qorcom/mail/attachment_store.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_ops.h"
#include "platform/os_services.h"
#include "platform/text_file.h"

namespace tw::qorcom::mail {
namespace {

constexpr int kMaxNumberedNames = 10000;

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

// Moves from to to unless to exists. EEXIST when it does.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a hard link fails the same way on a taken name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::string AttachmentDirectory() {
    if (const char* own = std::getenv("QORCOM_MAIL_ATTACHMENTS"); own && *own)
        return own;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::string(data) + "/qorcom/attachments";
    return platform::HomeDirectory() + "/.local/share/qorcom/attachments";
}

bool PrepareAttachmentDirectory(const std::string& directory, int* error) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        *error = ENOTDIR;
        return false;
    }
    std::string path;
    for (std::size_t at = 0; at != std::string::npos;) {
        at = directory.find('/', at + 1);
        path = directory.substr(0, at);
        const bool last = at == std::string::npos;
        if (::mkdir(path.c_str(), last ? 0700 : 0755) != 0 && errno != EEXIST) {
            *error = errno;
            return false;
        }
    }
    return true;
}

std::string NumberedFileName(const std::string& fileName, int n) {
    const std::size_t dot = fileName.rfind('.');
    const std::string number = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos || dot == 0)
        return fileName + number;
    return fileName.substr(0, dot) + number + fileName.substr(dot);
}

std::optional<std::string> SaveAttachment(const std::string& directory, const std::string& fileName,
                                          std::string_view bytes, int* error) {
    if (!IsPlainFileName(fileName)) {
        *error = EINVAL;
        return std::nullopt;
    }
    std::optional<platform::TempFile> temp = platform::TempFile::Create(".~tw", directory);
    if (!temp) {
        *error = errno;
        return std::nullopt;
    }
    if (!platform::WriteAll(temp->Descriptor(), bytes) || ::fsync(temp->Descriptor()) != 0) {
        *error = errno;
        return std::nullopt;
    }
    temp->Close();
    for (int n = 0; n <= kMaxNumberedNames; ++n) {
        const std::string target =
            directory + "/" + (n == 0 ? fileName : NumberedFileName(fileName, n));
        if (MoveWithoutReplacing(temp->Path(), target)) {
            temp->Keep();  // it is the saved file now
            SyncDirectory(directory);
            return target;
        }
        if (errno != EEXIST) {
            *error = errno;
            return std::nullopt;
        }
    }
    *error = EEXIST;
    return std::nullopt;
}

}  // namespace tw::qorcom::mail
