#pragma once
// The dial status window of programs without a display: each text becomes a line
// "Connection Status: <text>" of a log (standard error unless told otherwise), and SIGUSR1
// cancels the dial, as the Cancel button would.

#include <functional>
#include <memory>
#include <string>

#include "qorcom/remote/ras.h"

namespace tw::qorcom {

class HeadlessStatusWindow final : public DialStatusWindow {
public:
    using LineWriter = std::function<void(const std::string& line)>;
    // writeLine receives each line without its line feed; nullptr writes to standard error.
    explicit HeadlessStatusWindow(LineWriter writeLine = nullptr);
    ~HeadlessStatusWindow() override;

    // Installs the SIGUSR1 handler (once for all open headless windows; the previous
    // disposition comes back when the last one closes) and watches for the signal until Close.
    void Open(const std::string& caption, std::function<void()> cancel) override;
    void SetText(const std::string& text) override;
    void Close() override;

private:
    class SignalWatch;
    LineWriter writeLine_;
    std::string caption_ = "Connection Status";
    std::unique_ptr<SignalWatch> watch_;
};

}  // namespace tw::qorcom
