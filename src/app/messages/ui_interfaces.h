#pragma once
// What the core needs from a user interface, as small interfaces. The Qt front end implements
// them with widgets; unattended runs plug in the headless versions below, which never block.

#include <mutex>
#include <ostream>
#include <string>

namespace tw {

// Modal questions and notices. Called on the thread that reports; a GUI implementation must
// show its box on the UI thread. Must not throw.
class Prompter {
public:
    virtual ~Prompter() = default;
    // An information box with an OK button; returns when it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No box; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
};

// The status bar's first pane. Called from any thread. Must not throw.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void SetStatusText(const std::string& text) = 0;
};

// Never waits for anyone: notices go to an optional stream, questions get a fixed answer.
class HeadlessPrompter final : public Prompter {
public:
    explicit HeadlessPrompter(std::ostream* echo = nullptr, bool answer = false)
        : echo_(echo), answer_(answer) {}
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;

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
