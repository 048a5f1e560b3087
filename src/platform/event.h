#pragma once
// An event in the Windows sense: a flag that threads wait for. A manual-reset event stays set
// until Reset and releases every waiter; an auto-reset event releases one waiter and clears
// itself. Workers are stopped by setting their stop event, never killed.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tw::platform {

// Thread-safe. Must outlive every thread waiting on it.
class Event {
public:
    enum class Reset { Manual, Auto };
    explicit Event(Reset mode, bool initiallySet = false)
        : manual_(mode == Reset::Manual), set_(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until set; an auto-reset event is cleared by the waiter it releases.
    void Wait();
    // False when the time-out passed first.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    const bool manual_;
    bool set_;
};

}  // namespace tw::platform
