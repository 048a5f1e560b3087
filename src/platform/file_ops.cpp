#include "platform/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace tw::platform {
namespace {

bool Fail(int* error) {
    if (error)
        *error = errno;
    return false;
}

DirEntry FromStat(std::string name, const struct stat& st) {
    DirEntry entry;
    entry.name = std::move(name);
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.isRegular = S_ISREG(st.st_mode);
    entry.modified = st.st_mtim.tv_sec;
    entry.size = static_cast<std::uint64_t>(st.st_size);
    return entry;
}

}  // namespace

bool ListDirectory(const std::string& directory, std::vector<DirEntry>& entries, int* error) {
    entries.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), &::closedir);
    if (!dir)
        return Fail(error);
    const int dirFd = ::dirfd(dir.get());
    errno = 0;
    while (const dirent* d = ::readdir(dir.get())) {
        struct stat own {};
        if (::fstatat(dirFd, d->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // removed meanwhile
        struct stat st = own;
        // A link is described by its target when it has one.
        if (S_ISLNK(own.st_mode))
            ::fstatat(dirFd, d->d_name, &st, 0);
        entries.push_back(FromStat(d->d_name, st));
        entries.back().isRegular = S_ISREG(own.st_mode);
        errno = 0;
    }
    if (errno != 0)
        return Fail(error);
    return true;
}

bool StatPath(const std::string& path, DirEntry& entry, int* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Fail(error);
    const auto slash = path.find_last_of('/');
    entry = FromStat(slash == std::string::npos ? path : path.substr(slash + 1), st);
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SetModificationTime(const std::string& path, std::time_t utcSeconds, int* error) {
    const timespec times[2] = {{0, UTIME_OMIT}, {utcSeconds, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return Fail(error);
    return true;
}

bool RemoveFile(const std::string& path, int* error) {
    if (::unlink(path.c_str()) != 0)
        return Fail(error);
    return true;
}

bool MakeDirectory(const std::string& path, int* error) {
    if (::mkdir(path.c_str(), 0777) != 0)
        return Fail(error);
    return true;
}

bool RenameFile(const std::string& from, const std::string& to, int* error) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Fail(error);
    return true;
}

}  // namespace tw::platform
