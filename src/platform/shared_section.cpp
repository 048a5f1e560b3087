// The one place of the library's local components that speaks POSIX directly: shared memory
// and open-file-description locks.
#include "platform/shared_section.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "platform/wildcard.h"

namespace tw::platform {
namespace {

constexpr std::string_view kGlobalPrefix = "Global\\";
constexpr std::string_view kLocalPrefix = "Local\\";
// What an object name may hold after its leading '/': NAME_MAX, with room to spare.
constexpr std::size_t kMaxObjectName = 240;
constexpr std::size_t kKeptBeforeHash = 200;
// Bounded: the name is removed and re-made only when its last user leaves at that moment.
constexpr int kOpenAttempts = 16;

// The lock bytes: the mutex, and the byte on which every user holds a shared lock.
constexpr off_t kMutexByte = 0;
constexpr off_t kUsersByte = 1;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

// 0, or the errno of the refused lock. Waiting locks go on after a signal.
int SetLock(int fd, short type, off_t start, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = 1;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

}  // namespace

std::string QueueSectionName(std::string_view visibility, std::string_view name) {
    if (name.empty())
        return {};
    std::string section(visibility);
    if (!section.empty())
        section += '\\';
    section += name;
    return section;
}

bool IsMachineWide(std::string_view sectionName) {
    return StartsWithIgnoringCase(sectionName, kGlobalPrefix);
}

std::string SharedObjectName(std::string_view sectionName) {
    std::string object;
    if (IsMachineWide(sectionName)) {
        object = "/qorcom-section.global." + Escaped(sectionName.substr(kGlobalPrefix.size()));
    } else {
        if (StartsWithIgnoringCase(sectionName, kLocalPrefix))
            sectionName.remove_prefix(kLocalPrefix.size());
        object = "/qorcom-section.user" + std::to_string(getuid()) + "." + Escaped(sectionName);
    }
    if (object.size() > kMaxObjectName) {
        char hash[24];
        std::snprintf(hash, sizeof hash, "~%016llx",
                      static_cast<unsigned long long>(Fnv1a(object)));
        object.resize(kKeptBeforeHash);
        object += hash;
    }
    return object;
}

std::unique_ptr<SharedSection> SharedSection::Open(const std::string& objectName,
                                                   std::uint32_t size, bool machineWide,
                                                   Initialiser initialise, Failure* failure) {
    using Step = Failure::Step;
    const mode_t mode = machineWide ? 0666 : 0600;
    auto fail = [&](int fd, Step step, int error) -> std::unique_ptr<SharedSection> {
        if (fd >= 0)
            close(fd);  // drops every lock this description holds
        *failure = {step, error};
        return nullptr;
    };
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd < 0)
            return fail(-1, Step::Allocate, errno);
        if (const int error = SetLock(fd, F_WRLCK, kMutexByte, true))
            return fail(fd, Step::Mutex, error);
        struct stat st {};
        if (fstat(fd, &st) != 0)
            return fail(fd, Step::Allocate, errno);
        if (st.st_nlink == 0) {
            // Its last user removed it between our open and our lock: open the name again.
            close(fd);
            continue;
        }
        // No user holds the users byte: the section was made just now, or it outlived users
        // that died. Either way no one may see its bytes before they are initialised, and we
        // hold the mutex until they are.
        const bool fresh = SetLock(fd, F_WRLCK, kUsersByte, false) == 0;
        if (fresh) {
            fchmod(fd, mode);  // the creator's umask must not narrow a machine-wide section
            if (ftruncate(fd, 0) != 0 || ftruncate(fd, size) != 0)
                return fail(fd, Step::Allocate, errno);
            st.st_size = size;
        }
        // Count as a user (on a fresh section, this turns our exclusive lock into a shared one).
        if (const int error = SetLock(fd, F_RDLCK, kUsersByte, false))
            return fail(fd, Step::Mutex, error);
        void* view = st.st_size > 0 ? mmap(nullptr, static_cast<std::size_t>(st.st_size),
                                           PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                                    : MAP_FAILED;
        if (view == MAP_FAILED)
            return fail(fd, Step::Map, st.st_size > 0 ? errno : EINVAL);
        std::unique_ptr<SharedSection> section(new (std::nothrow) SharedSection(
            objectName, fd, view, static_cast<std::size_t>(st.st_size)));
        if (!section) {
            munmap(view, static_cast<std::size_t>(st.st_size));
            close(fd);
            throw std::bad_alloc();
        }
        if (fresh)
            initialise(section->Bytes());
        section->Unlock();
        return section;
    }
    *failure = {Step::Allocate, EAGAIN};
    return nullptr;
}

SharedSection::~SharedSection() {
    munmap(view_, size_);
    // The last user removes the name; taking the mutex first keeps an opener from counting
    // itself in between.
    if (SetLock(fd_, F_WRLCK, kMutexByte, true) == 0 &&
        SetLock(fd_, F_WRLCK, kUsersByte, false) == 0)
        shm_unlink(name_.c_str());
    close(fd_);
}

bool SharedSection::Lock(int* error) {
    *error = SetLock(fd_, F_WRLCK, kMutexByte, true);
    return *error == 0;
}

void SharedSection::Unlock() {
    SetLock(fd_, F_UNLCK, kMutexByte, false);
}

}  // namespace tw::platform
