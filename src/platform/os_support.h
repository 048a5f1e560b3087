#pragma once
// Operating-system facilities of the automation library: the path of a loaded module, an
// exclusive lock on a named file that also excludes other objects of the same process, and
// signalling a caller's event descriptor.

#include <optional>
#include <string>

namespace tw::platform {

// Absolute path of the loaded module (shared object or program) that contains `address`, as the
// loader opened it (a relative loader path is made absolute, symbolic links are kept). Empty
// when the loader does not know the address.
std::string ModulePathOf(const void* address);

// An exclusive lock on a named file: an open-file-description lock (F_OFD_SETLK), so two
// holders in one process exclude each other as two processes do, and the kernel frees it when
// the holder dies. Not thread-safe; movable, not copyable.
class ExclusiveFileLock {
public:
    enum class Outcome {
        Locked,  // *lock holds the file
        Busy,    // someone else holds it
        Failed,  // the file cannot be opened or created; *error holds errno
    };

    // Opens the file (creating it empty when missing, never truncating it) and takes the lock
    // without waiting. After locking, checks that the path still names the locked file: a
    // previous holder may have removed it between our open and our lock, and a lock on a
    // removed file excludes nobody. Retries a bounded number of times in that case.
    static Outcome TryAcquire(const std::string& path, std::optional<ExclusiveFileLock>& lock,
                              int* error);

    ExclusiveFileLock(ExclusiveFileLock&& other) noexcept;
    ExclusiveFileLock& operator=(ExclusiveFileLock&& other) noexcept;
    ~ExclusiveFileLock();  // closes (frees the lock) without removing the file

    // Removes the file by its name while still holding the lock, then closes: no third party
    // can lock a file that is about to disappear. False (errno in *error) when the removal
    // failed; the lock is released either way.
    bool RemoveAndRelease(int* error);

private:
    ExclusiveFileLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    void Close();
    std::string path_;
    int fd_ = -1;
};

// An event descriptor handed in by a caller: an eventfd(2), the Linux form of an event object.
// Duplicated on adoption so the caller may close its own descriptor. Other kinds of descriptor
// (regular files, pipes, terminals) are refused: writing to them could damage data or raise
// SIGPIPE.
class EventDescriptor {
public:
    // nullopt when fd is not an open eventfd.
    static std::optional<EventDescriptor> Adopt(int fd);
    EventDescriptor(EventDescriptor&& other) noexcept;
    EventDescriptor& operator=(EventDescriptor&& other) noexcept;
    ~EventDescriptor();

    // Adds 1 to the eventfd's counter, which wakes its readers. Thread-safe.
    void Signal() const;

private:
    explicit EventDescriptor(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace tw::platform
