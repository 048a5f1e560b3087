#pragma once
// What the core needs from a user interface, as small interfaces. The Qt front end implements
// them with widgets; unattended runs plug in the headless versions below, which never block.

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/event.h"

namespace tw {

// Modal questions and notices. Called on the thread that reports; a GUI implementation must
// show its box on the UI thread. Must not throw.
class Prompter {
public:
    virtual ~Prompter() = default;
    // An information box with an OK button; returns when it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No box with its title, No being the default button; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& question) = 0;
};

// The status bar's first pane. Called from any thread. Must not throw.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
};

// What the monitor needs from the application's user interface thread.
class UiBridge {
public:
    virtual ~UiBridge() = default;
    // The poll monitor finished its run (after its pass, or earlier on a failure). Called on the
    // monitor's worker thread; must return at once (post, never wait for the UI thread).
    virtual void PostEndOfPass() = 0;
    // Called on a thread that waits for a worker, at least every 250 ms, so that the thread's
    // own events are serviced (a UI thread stays responsive while it stops a monitor).
    virtual void PumpEvents() = 0;
};

// For unattended runs: nothing to pump; the end-of-pass notice sets an event the run waits on.
class HeadlessUiBridge final : public UiBridge {
public:
    void PostEndOfPass() override;
    void PumpEvents() override {}
    // True once the notice was posted; false when the time-out passed first.
    bool WaitForEndOfPass(std::chrono::milliseconds timeout);

private:
    platform::Event endOfPass_{platform::Event::Reset::Manual};
};

// Never waits for anyone: notices go to an optional stream, questions get a fixed answer.
class HeadlessPrompter final : public Prompter {
public:
    explicit HeadlessPrompter(std::ostream* echo = nullptr, bool answer = false)
        : echo_(echo), answer_(answer) {}
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& question) override;

private:
    std::mutex mutex_;
    std::ostream* echo_;
    bool answer_;
};

// Keeps the last status text (nothing displays it).
class HeadlessStatusSink final : public StatusSink {
public:
    void SetStatusText(const std::string& text) override;
    std::string Text() const;

private:
    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace tw
