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

bool CopyFileKeepingTime(const std::string& from, const std::string& to, int* error) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(error);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (errno == 0 || S_ISDIR(st.st_mode))
            errno = EISDIR;
        const int err = errno;
        ::close(in);
        errno = err;
        return Fail(error);
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        errno = err;
        return Fail(error);
    }
    // The source's permission bits are not carried over: the source is often a private
    // scratch copy (0600), and the copy is made for another reader.
    bool ok = true;
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (ok) {
        const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
        ok = ::futimens(out, times) == 0 && ::fsync(out) == 0;
    }
    const int err = errno;
    if (::close(out) != 0 && ok)
        ok = false;
    ::close(in);
    if (!ok) {
        ::unlink(to.c_str());
        errno = err;
        return Fail(error);
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
