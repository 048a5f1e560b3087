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

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {
    const std::string path = LockFilePath(name_);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
