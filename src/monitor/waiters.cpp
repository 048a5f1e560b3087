#include "monitor/waiters.h"

#include <chrono>
#include <system_error>

#include "messages/program_messages.h"
#include "messages/ui_interfaces.h"

namespace tw {
namespace Monitor {
namespace {

constexpr std::chrono::milliseconds kPumpInterval{250};

void ReportUnknownException() {
    SendMessageText(errorMessages(), "Exception: unknown exception");
}

// Runs one handler's Finish; an exception counts as a failure and is reported.
template <typename F>
bool FinishReported(F finish) {
    try {
        return finish();
    } catch (const std::exception& e) {
        ReportException(errorMessages(), e);
    } catch (...) {
        ReportUnknownException();
    }
    return false;
}

}  // namespace

// ---- WaitTimeoutHandler ----

bool WaitTimeoutHandler::Initialise() {
    firstPassPending_ = true;
    return true;
}

bool WaitTimeoutHandler::Wait(platform::Event* stopEvent) {
    if (runFirstPassAtOnce_ && firstPassPending_) {
        firstPassPending_ = false;
        return true;
    }
    const std::chrono::milliseconds interval(interval_);
    if (stopEvent)
        return !stopEvent->WaitFor(interval);
    std::this_thread::sleep_for(interval);
    return true;
}

// ---- SingleWaiter ----

SingleWaiter::SingleWaiter(CountedPtr<WaitHandler> waitHandler,
                           CountedPtr<WaitOverHandler> overHandler, UiBridge* pump)
    : waitHandler_(std::move(waitHandler)), overHandler_(std::move(overHandler)), pump_(pump) {}

SingleWaiter::~SingleWaiter() {
    StopAndJoin();
}

bool SingleWaiter::Start() {
    if (!runOnThread_) {
        lastResult_.store(Run());
        return true;
    }
    if (threadRunning_.load())
        return false;
    JoinWorker();  // the thread of an earlier run
    std::lock_guard lock(joinMutex_);
    threadEnded_.Reset();
    threadRunning_.store(true);
    try {
        worker_ = std::jthread([this] {
            lastResult_.store(Run());
            threadRunning_.store(false);
            threadEnded_.Set();
        });
    } catch (const std::system_error&) {
        threadRunning_.store(false);
        threadEnded_.Set();
        return false;
    }
    return true;
}

void SingleWaiter::JoinWorker() {
    std::lock_guard lock(joinMutex_);
    if (!worker_.joinable())
        return;
    if (worker_.get_id() == std::this_thread::get_id()) {
        worker_.detach();  // cannot join oneself; the contract forbids getting here
        return;
    }
    worker_.join();
}

void SingleWaiter::WaitForThread() {
    {
        std::lock_guard lock(joinMutex_);
        if (!worker_.joinable() || worker_.get_id() == std::this_thread::get_id())
            return;
    }
    while (!threadEnded_.WaitFor(kPumpInterval)) {
        if (pump_)
            pump_->PumpEvents();
    }
    JoinWorker();
}

void SingleWaiter::Stop(bool wait) {
    if (overHandler_)
        overHandler_->SetStopRequested(1);
    stopEvent_.Set();
    if (!wait || !IsThreadRunning())
        return;
    std::lock_guard lock(stopSection_);
    if (waitingForThread_.load())
        return;
    waitingForThread_.store(true);
    WaitForThread();
    waitingForThread_.store(false);
}

void SingleWaiter::StopAndJoin() {
    if (threadRunning_.load()) {
        if (overHandler_)
            overHandler_->SetStopRequested(1);
        stopEvent_.Set();
    }
    JoinWorker();
}

int SingleWaiter::Initialise() {
    const bool waitReady = waitHandler_->Initialise();
    overHandler_->SetStopRequested(0);
    const bool overReady = overHandler_->Initialise();
    return waitReady && overReady ? kSuccess : kInitFailed;
}

int SingleWaiter::ProcessOnce() {
    return overHandler_->Process() ? kSuccess : kPassFailed;
}

int SingleWaiter::Finish(int code) {
    // Both handlers finish whatever the other did: each may hold a connection to close.
    const bool waitFinished = FinishReported([this] { return waitHandler_->Finish(); });
    const bool overFinished = FinishReported([this] { return overHandler_->Finish(); });
    const bool ok = waitFinished && overFinished;
    if (code != kSuccess)
        return code;
    return ok ? kSuccess : kFinishFailed;
}

int SingleWaiter::Run() {
    int code;
    try {
        code = Initialise();
    } catch (const std::exception& e) {
        ReportException(errorMessages(), e);
        code = kInitFailed;
    } catch (...) {
        ReportUnknownException();
        code = kInitFailed;
    }
    while (code == kSuccess) {
        try {
            code = waitHandler_->Wait(&stopEvent_) ? ProcessOnce() : kStopped;
        } catch (const std::exception& e) {
            ReportException(errorMessages(), e);
            code = kPassFailed;
        } catch (...) {
            ReportUnknownException();
            code = kPassFailed;
        }
        if (IsSinglePass())
            break;
    }
    return Finish(code);
}

}  // namespace Monitor

// ---- PollerWaiter ----

PollerWaiter::PollerWaiter(UiBridge* notify, CountedPtr<Monitor::WaitHandler> waitHandler,
                           CountedPtr<Monitor::WaitOverHandler> overHandler)
    : SingleWaiter(std::move(waitHandler), std::move(overHandler), notify), notify_(notify) {}

PollerWaiter::~PollerWaiter() {
    StopAndJoin();
}

int PollerWaiter::Finish(int code) {
    const int result = SingleWaiter::Finish(code);
    if (notify_)
        notify_->PostEndOfPass();
    return result;
}

}  // namespace tw
