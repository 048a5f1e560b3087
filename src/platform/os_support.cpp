#include "platform/os_support.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace tw::platform {
namespace {

// A path replaced under us again and again means heavy contention; the caller polls anyway.
constexpr int kMaxLockAttempts = 8;

int OpenLockFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void CloseDescriptor(int fd) {
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0')
        return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::string(info.dli_fname) : path.lexically_normal().string();
}

// ---- ExclusiveFileLock ----

ExclusiveFileLock::Outcome ExclusiveFileLock::TryAcquire(const std::string& path,
                                                         std::optional<ExclusiveFileLock>& lock,
                                                         int* error) {
    lock.reset();
    for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
        const int fd = OpenLockFile(path);
        if (fd < 0) {
            if (error)
                *error = errno;
            return Outcome::Failed;
        }
        struct flock request {};
        request.l_type = F_WRLCK;
        request.l_whence = SEEK_SET;  // start 0, length 0: the whole file, however it grows
        if (::fcntl(fd, F_OFD_SETLK, &request) != 0) {
            const int lockError = errno;
            CloseDescriptor(fd);
            if (lockError == EAGAIN || lockError == EACCES)
                return Outcome::Busy;
            if (error)
                *error = lockError;
            return Outcome::Failed;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            lock.emplace(ExclusiveFileLock(path, fd));
            return Outcome::Locked;
        }
        // The holder before us removed the file after we opened it: our lock guards a file
        // nobody else can reach. Start over on whatever the name holds now.
        CloseDescriptor(fd);
    }
    return Outcome::Busy;
}

ExclusiveFileLock::ExclusiveFileLock(ExclusiveFileLock&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

ExclusiveFileLock& ExclusiveFileLock::operator=(ExclusiveFileLock&& other) noexcept {
    if (this != &other) {
        Close();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ExclusiveFileLock::~ExclusiveFileLock() {
    Close();
}

void ExclusiveFileLock::Close() {
    CloseDescriptor(std::exchange(fd_, -1));
}

bool ExclusiveFileLock::RemoveAndRelease(int* error) {
    const bool removed = ::unlink(path_.c_str()) == 0;
    if (!removed && error)
        *error = errno;
    Close();
    return removed;
}

// ---- EventDescriptor ----

std::optional<EventDescriptor> EventDescriptor::Adopt(int fd) {
    if (fd < 0)
        return std::nullopt;
    // An eventfd is an anonymous inode whose link in /proc names its kind.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    char target[64];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0 || std::string_view(target, static_cast<std::size_t>(n)) != "anon_inode:[eventfd]")
        return std::nullopt;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return std::nullopt;
    return EventDescriptor(own);
}

EventDescriptor::EventDescriptor(EventDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

EventDescriptor& EventDescriptor::operator=(EventDescriptor&& other) noexcept {
    if (this != &other) {
        CloseDescriptor(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

EventDescriptor::~EventDescriptor() {
    CloseDescriptor(fd_);
}

void EventDescriptor::Signal() const {
    const std::uint64_t one = 1;
    ssize_t n;
    do {
        n = ::write(fd_, &one, sizeof one);
    } while (n < 0 && errno == EINTR);
}

}  // namespace tw::platform
