#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/text_file.h"

namespace tw::platform {
namespace {

constexpr std::size_t kMaxLockNameBytes = 200;
constexpr std::size_t kKeptPrefixBytes = 150;

bool IsWritableDirectory(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && ::access(path, W_OK | X_OK) == 0;
}

// FNV-1a, 64 bits: stable across builds and machines, which std::hash is not.
std::uint64_t Fnv1a64(std::string_view text, std::uint64_t seed) {
    std::uint64_t h = seed;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string LockDirectory() {
    if (const char* dir = std::getenv("TIDEWELL_LOCK_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    if (IsWritableDirectory("/run/lock"))
        return "/run/lock";
    return TemporaryDirectory();
}

std::string LockFilePath(std::string_view name) {
    std::string file;
    if (name.size() > kMaxLockNameBytes) {
        char hash[40];
        std::snprintf(hash, sizeof hash, "#%016llx%016llx",
                      static_cast<unsigned long long>(Fnv1a64(name, 0xcbf29ce484222325ULL)),
                      static_cast<unsigned long long>(Fnv1a64(name, 0x84222325cbf29ce4ULL)));
        file.assign(name.substr(0, kKeptPrefixBytes));
        file += hash;
    } else {
        file.assign(name);
    }
    for (char& c : file) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (file.empty() || file == "." || file == "..")
        file.insert(0, "_");
    return LockDirectory() + "/tidewell-" + file + ".lock";
}

std::string LogFileLockName(std::string_view path) {
    std::string name = Upper(path);
    for (char& c : name) {
        if (c == '\\' || c == '/')
            c = '_';
    }
    return name;
}

std::string SiteLockName(std::string_view dataDirectory) {
    std::string name;
    for (char c : Upper(dataDirectory)) {
        if (c != ':' && c != '\\' && c != '/')
            name += c;
    }
    return name;
}

namespace {

// Opens (or makes) a lock file so that every account on the machine can take it: flock needs
// only a read-only descriptor, and a new file is made 0666 whatever the umask (a lock left by a
// desktop user must not lock out the service account's poller). The lock directory may be
// writable by anyone, so a symbolic link, a hard link to another file, a FIFO or a device in
// place of the lock file is refused (ELOOP, EMLINK, EINVAL) rather than followed or opened.
// Returns the descriptor, or -1 with errno set.
int OpenSharedLockFile(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 8; ++attempt) {
        // An existing file is opened without O_CREAT: with fs.protected_regular the kernel
        // refuses O_CREAT on another account's file in a sticky directory such as /run/lock.
        int fd = ::open(path.c_str(), kFlags);
        bool made = false;
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
            if (fd < 0 && errno == EEXIST)
                continue;  // another process made it between our two opens
            made = fd >= 0;
        }
        if (fd < 0)
            return -1;
        struct stat st {};
        int refusal = 0;
        if (::fstat(fd, &st) != 0)
            refusal = errno;
        else if (!S_ISREG(st.st_mode))
            refusal = EINVAL;
        else if (st.st_nlink != 1)
            refusal = EMLINK;
        else if (made && ::fchmod(fd, 0666) != 0)
            refusal = errno;
        if (refusal != 0) {
            ::close(fd);
            errno = refusal;
            return -1;
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {
    fd_ = OpenSharedLockFile(LockFilePath(name_));
    if (fd_ < 0)
        openError_ = errno;
}

NamedLock::~NamedLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool NamedLock::Lock() {
    if (fd_ < 0)
        return false;
    threadMutex_.lock();
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        threadMutex_.unlock();
        return false;
    }
    return true;
}

bool NamedLock::TryLock() {
    if (fd_ < 0)
        return false;
    if (!threadMutex_.try_lock())
        return false;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        threadMutex_.unlock();
        return false;
    }
    return true;
}

void NamedLock::Unlock() {
    ::flock(fd_, LOCK_UN);
    threadMutex_.unlock();
}

}  // namespace tw::platform
