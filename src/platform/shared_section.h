#pragma once
// A named section of shared memory with its own mutex, whose lifetime follows its users as a
// Windows section's does: it exists while at least one SharedSection object (in any process)
// has it open, and goes with the last one. A user that dies without closing (killed, crashed)
// stops counting at once: the kernel drops its locks. A section that outlived all its users in
// this way is stale and is initialised afresh by the next user that opens it.
//
// On Linux: a POSIX shared-memory object; the mutex is an open-file-description lock on its
// first byte and each user holds a shared lock on its second byte, so both die with the
// holder. Each object opens its own description, so two objects of one process exclude each
// other as two processes do.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tw::platform {

// The section name of a queue as its users know it: the visibility, "\" when there is one,
// and the name. Empty when the name is empty (there is no queue).
std::string QueueSectionName(std::string_view visibility, std::string_view name);

// A section name that starts with "Global\" (ignoring case) names one section for the whole
// machine; any other (starting with "Local\", or with no prefix) one of the calling user's
// own, "Local\X" and "X" being the same.
bool IsMachineWide(std::string_view sectionName);

// The shared-memory object that stands for a section name. The name is kept exactly (case
// included); bytes that cannot stand in an object name are escaped, and a name too long for one
// is shortened with a hash of the whole.
std::string SharedObjectName(std::string_view sectionName);

class SharedSection {
public:
    struct Failure {
        enum class Step { Allocate, Mutex, Map } step = Step::Allocate;
        int error = 0;  // errno
    };
    // Called with the mutex held on a section that no one else uses yet.
    using Initialiser = void (*)(std::span<std::byte> bytes);

    // Opens the section, creating it with `size` bytes when it does not exist or is stale,
    // and then calls `initialise` under the mutex, before anyone else can see its bytes.
    // machineWide sections are readable and writable by every user, others by their owner
    // only. nullptr with *failure set when it cannot be had. Throws std::bad_alloc only.
    static std::unique_ptr<SharedSection> Open(const std::string& objectName, std::uint32_t size,
                                               bool machineWide, Initialiser initialise,
                                               Failure* failure);
    ~SharedSection();
    SharedSection(const SharedSection&) = delete;
    SharedSection& operator=(const SharedSection&) = delete;

    // The whole section; its contents are shared and may change whenever the mutex is not
    // held.
    std::span<std::byte> Bytes() const { return {static_cast<std::byte*>(view_), size_}; }

    // Waits for the mutex without a time limit. False (errno in *error) only when the kernel
    // refuses the lock.
    bool Lock(int* error);
    void Unlock();

private:
    SharedSection(std::string name, int fd, void* view, std::size_t size)
        : name_(std::move(name)), fd_(fd), view_(view), size_(size) {}

    std::string name_;
    int fd_;
    void* view_;
    std::size_t size_;
};

// RAII holder of a section's mutex; owns() is false when the lock could not be taken.
class SectionLock {
public:
    explicit SectionLock(SharedSection& section)
        : section_(section), owns_(section.Lock(&error_)) {}
    ~SectionLock() {
        if (owns_)
            section_.Unlock();
    }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;
    bool owns() const { return owns_; }
    int error() const { return error_; }

private:
    SharedSection& section_;
    int error_ = 0;
    bool owns_;
};

}  // namespace tw::platform
