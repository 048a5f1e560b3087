#pragma once
// The framework that runs polling: a waiter waits (for a time-out or a stop request) and, each
// time the wait ends without a stop, asks its wait-over handler for one pass of work. A waiter
// runs its loop on a worker thread of its own or on the caller's thread, and can be limited to
// a single pass.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "monitor/counted_ptr.h"
#include "platform/event.h"

namespace tw {

class UiBridge;

namespace Monitor {

// Result codes of Run, Initialise, ProcessOnce and Finish.
enum ResultCode : int {
    kSuccess = 0,
    kStopped = 1,     // the stop event was signalled during a wait
    kPassFailed = 2,  // a pass returned false (or threw)
    kInitFailed = 3,
    kFinishFailed = 4,
};

// Decides when the next pass is due. Called only on the waiter's loop thread.
class WaitHandler {
public:
    virtual ~WaitHandler() = default;
    virtual bool Initialise() = 0;
    // Blocks until the next pass is due: true to run it, false when stopEvent was signalled.
    // stopEvent may be null.
    virtual bool Wait(platform::Event* stopEvent) = 0;
    virtual bool Finish() = 0;
};

// A fixed interval, optionally with the first pass at once.
class WaitTimeoutHandler : public WaitHandler {
public:
    WaitTimeoutHandler(std::uint32_t intervalMs, bool runFirstPassAtOnce)
        : interval_(intervalMs), runFirstPassAtOnce_(runFirstPassAtOnce) {}
    bool Initialise() override;
    bool Wait(platform::Event* stopEvent) override;
    bool Finish() override { return true; }

private:
    std::uint32_t interval_;
    bool runFirstPassAtOnce_;
    bool firstPassPending_ = false;
};

// The work of one pass. Process runs on the loop thread; SetStopRequested may come from any
// thread (the one that stops the waiter) and must only record the request.
class WaitOverHandler {
public:
    virtual ~WaitOverHandler() = default;
    virtual bool Initialise() = 0;
    // One pass; false when it failed.
    virtual bool Process() = 0;
    virtual bool Finish() = 0;
    // 1: a stop was requested; 0: cleared. Passed on to the objects doing the work.
    virtual void SetStopRequested(int requested) = 0;
};

// Per-file hooks called by the transfer classes during a pass over a directory.
class ProcessData {
public:
    virtual ~ProcessData() = default;
    virtual bool Begin() = 0;
    // One file, by its full path.
    virtual bool Process(const std::string& name) = 0;
    // After the pass; the Radiant processors do their main work here.
    virtual bool End() = 0;
    virtual void SetStopRequested(int requested) = 0;
};

// The loop owner.
class Waiter {
public:
    virtual ~Waiter() = default;
    virtual bool Start() = 0;
    virtual void WaitForThread() = 0;
    virtual void Stop(bool wait) = 0;
    virtual bool IsSinglePass() const { return singlePass_.load(); }
    virtual void SetSinglePass(bool singlePass) { singlePass_.store(singlePass); }
    virtual int Initialise() { return kSuccess; }
    virtual int ProcessOnce() = 0;
    virtual int Finish(int code) { return code; }
    virtual bool IsThreadRunning() const = 0;
    virtual bool IsWaitingForThread() const = 0;

protected:
    // Keeps two stops from waiting for the same thread at once. Recursive: a UI thread that pumps
    // its events while it waits may run a second Stop itself, which then returns at once.
    std::recursive_mutex stopSection_;

private:
    std::atomic<bool> singlePass_{false};
};

// One wait handler and one wait-over handler, looping on a worker thread.
//
// Threads: Start, Stop and WaitForThread may be called from any thread but the worker's own
// (Stop there only signals). The worker thread is always joined: by WaitForThread, by the next
// Start, or by the destructor, which first asks a running loop to stop. An exception escaping
// a handler on the worker is reported through errorMessages() and ends the run with a failure
// code, after the handlers' Finish.
class SingleWaiter : public Waiter {
public:
    // pump: services the waiting thread's events while WaitForThread waits (may be null).
    SingleWaiter(CountedPtr<WaitHandler> waitHandler, CountedPtr<WaitOverHandler> overHandler,
                 UiBridge* pump = nullptr);
    ~SingleWaiter() override;
    SingleWaiter(const SingleWaiter&) = delete;
    SingleWaiter& operator=(const SingleWaiter&) = delete;
    // Must not be destroyed by its own worker thread.

    // On a worker thread (the default): starts it; false when it cannot be created or a run is
    // still in progress. Otherwise runs the loop on the caller's thread and returns true.
    bool Start() override;
    // Waits for the worker to end, calling the pump every 250 ms, then joins it.
    void WaitForThread() override;
    // Passes the request to the wait-over handler and signals the stop event; with wait, waits
    // for a running worker (unless another Stop already does).
    void Stop(bool wait) override;
    int Initialise() override;
    int ProcessOnce() override;
    int Finish(int code) override;
    bool IsThreadRunning() const override { return threadRunning_.load(); }
    bool IsWaitingForThread() const override { return waitingForThread_.load(); }

    // The loop: Initialise, then wait and pass until a stop, a failure or the single pass,
    // then Finish. Returns the result code.
    virtual int Run();

    void SetRunOnThread(bool onThread) { runOnThread_ = onThread; }
    // The result code of the last run on the worker thread (kSuccess before any).
    int LastResult() const { return lastResult_.load(); }

protected:
    // Stops a running loop and joins the worker. Every class that overrides a virtual called by
    // the loop calls this from its own destructor, so the loop never runs into a destroyed
    // part of the object.
    void StopAndJoin();

private:
    void JoinWorker();

    CountedPtr<WaitHandler> waitHandler_;
    CountedPtr<WaitOverHandler> overHandler_;
    UiBridge* pump_;
    bool runOnThread_ = true;
    std::atomic<bool> waitingForThread_{false};
    std::atomic<bool> threadRunning_{false};
    std::atomic<int> lastResult_{kSuccess};
    platform::Event stopEvent_{platform::Event::Reset::Auto};
    platform::Event threadEnded_{platform::Event::Reset::Manual, true};
    std::mutex joinMutex_;
    std::jthread worker_;
};

}  // namespace Monitor

// The poller's waiter: at the end of every run it tells the application's user interface.
class PollerWaiter : public Monitor::SingleWaiter {
public:
    // notify receives the end-of-pass notice and pumps while the UI thread waits (may be null).
    PollerWaiter(UiBridge* notify, CountedPtr<Monitor::WaitHandler> waitHandler,
                 CountedPtr<Monitor::WaitOverHandler> overHandler);
    ~PollerWaiter() override;
    int Finish(int code) override;

private:
    UiBridge* notify_;
};

}  // namespace tw
