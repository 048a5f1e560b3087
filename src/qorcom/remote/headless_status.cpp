#include "qorcom/remote/headless_status.h"

#include <csignal>
#include <cstdio>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

namespace tw::qorcom {
namespace {

constexpr auto kSignalPoll = std::chrono::milliseconds(50);

// Counts SIGUSR1 deliveries; a watch cancels when the count moves past what it saw at Open.
std::atomic<unsigned> g_cancelSignals{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "used in a signal handler");

extern "C" void OnCancelSignal(int) {
    g_cancelSignals.fetch_add(1, std::memory_order_relaxed);
}

// The handler stays while any headless window is open.
class CancelSignal {
public:
    static CancelSignal& Instance() {
        static CancelSignal instance;
        return instance;
    }
    void Acquire() {
        std::lock_guard lock(mutex_);
        if (users_++ > 0)
            return;
        struct sigaction action {};
        action.sa_handler = &OnCancelSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGUSR1, &action, &previous_);
    }
    void Release() {
        std::lock_guard lock(mutex_);
        if (--users_ == 0)
            sigaction(SIGUSR1, &previous_, nullptr);
    }

private:
    std::mutex mutex_;
    int users_ = 0;
    struct sigaction previous_ {};
};

}  // namespace

class HeadlessStatusWindow::SignalWatch {
public:
    explicit SignalWatch(std::function<void()> cancel) {
        CancelSignal::Instance().Acquire();
        const unsigned seen = g_cancelSignals.load();
        thread_ = std::jthread([this, seen, cancel = std::move(cancel)](std::stop_token stop) {
            std::mutex mutex;
            std::unique_lock lock(mutex);
            while (!wake_.wait_for(lock, stop, kSignalPoll, [] { return false; })) {
                if (stop.stop_requested())
                    return;
                if (g_cancelSignals.load() != seen) {
                    if (cancel)
                        cancel();
                    return;
                }
            }
        });
    }
    ~SignalWatch() {
        thread_.request_stop();
        thread_.join();
        CancelSignal::Instance().Release();
    }

private:
    std::condition_variable_any wake_;
    std::jthread thread_;
};

HeadlessStatusWindow::HeadlessStatusWindow(LineWriter writeLine)
    : writeLine_(writeLine ? std::move(writeLine) : [](const std::string& line) {
          std::fprintf(stderr, "%s\n", line.c_str());
          std::fflush(stderr);
      }) {}

HeadlessStatusWindow::~HeadlessStatusWindow() {
    Close();
}

void HeadlessStatusWindow::Open(const std::string& caption, std::function<void()> cancel) {
    caption_ = caption;
    watch_ = std::make_unique<SignalWatch>(std::move(cancel));
}

void HeadlessStatusWindow::SetText(const std::string& text) {
    writeLine_(caption_ + ": " + text);
}

void HeadlessStatusWindow::Close() {
    watch_.reset();
}

}  // namespace tw::qorcom
