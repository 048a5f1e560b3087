#pragma once
// Named locks shared by every thread of every process on the machine.
//
// A name stands for one lock file in the lock directory; holding the lock means holding an
// exclusive flock(2) on that file. The lock dies with its process, so a crash never leaves a
// lock behind. Lock files are never deleted (deleting one while another process waits on it
// would split the lock in two). Lock files are made 0666 and opened read-only, so a lock left by
// one account is taken by any other; in the lock directory, which anyone may write, a link or a
// special file in place of a lock file makes the lock invalid instead of being followed.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tw::platform {

// The directory that holds lock files: $TIDEWELL_LOCK_DIR when set, else /run/lock when it is
// a writable directory, else the temporary directory ($TMPDIR or /tmp).
std::string LockDirectory();

// The lock file for a lock name: the name with every character that cannot stand in a file name
// ('/', NUL) replaced by '_'. Names longer than 200 bytes keep their first 150 bytes followed by
// a hash of the whole name, so distinct long names stay distinct.
std::string LockFilePath(std::string_view name);

// Name of the lock that serialises writers of one log file: the path with every '\' and '/'
// replaced by '_', in upper case. Two spellings of a path that differ only in case share a lock.
std::string LogFileLockName(std::string_view path);

// Name of the site lock: the data directory in upper case with ':', '\' and '/' removed.
std::string SiteLockName(std::string_view dataDirectory);

// One named lock. Threads of this process that share one NamedLock object exclude each other
// too (an in-process mutex is taken before the file lock), and so do separate NamedLock objects
// of the same name. Not recursive: a thread that locks twice deadlocks, as with std::mutex.
// Thread-safe. Unlock must be called by the thread that locked.
class NamedLock {
public:
    explicit NamedLock(std::string name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // False when the lock file cannot be opened or is refused (a link, a special file); Lock and
    // TryLock then fail at once.
    bool IsValid() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }
    // errno of the failed open, 0 when valid.
    int OpenError() const { return openError_; }

    // Waits without limit. False only when the lock is not valid or flock fails.
    bool Lock();
    // Takes the lock only if no one holds it.
    bool TryLock();
    void Unlock();

private:
    std::string name_;
    int fd_ = -1;
    int openError_ = 0;
    std::mutex threadMutex_;
};

// RAII holder for NamedLock::Lock. owns() is false when locking failed.
class NamedLockGuard {
public:
    explicit NamedLockGuard(NamedLock& lock) : lock_(lock), owns_(lock.Lock()) {}
    ~NamedLockGuard() {
        if (owns_)
            lock_.Unlock();
    }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;
    bool owns() const { return owns_; }

private:
    NamedLock& lock_;
    bool owns_;
};

}  // namespace tw::platform
