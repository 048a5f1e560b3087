#pragma once
// The front end of runs without a display: the message list is printed, message boxes are
// never waited for, and the end-of-pass notice ends the run.

#include <ostream>
#include <string>

#include "app/shell/radiant_poll_app.h"
#include "messages/screen_queue.h"
#include "messages/stream_message_list.h"
#include "messages/ui_interfaces.h"

namespace tw {

class HeadlessFrontEnd final : public AppFrontEnd {
public:
    // out receives the message list; err the texts of message boxes.
    HeadlessFrontEnd(std::ostream& out, std::ostream& err);

    MessageDocument* Document() override { return &document_; }
    Prompter& GetPrompter() override { return prompter_; }
    StatusSink& Status() override { return status_; }
    UiBridge& Bridge() override { return bridge_; }
    void SetTitle(const std::string& documentTitle) override { title_ = documentTitle; }
    void InstallMenu(bool) override {}

    HeadlessUiBridge& HeadlessBridge() { return bridge_; }
    const std::string& TitleText() const { return title_; }

private:
    StreamMessageList list_;
    MessageDocument document_;
    HeadlessPrompter prompter_;
    HeadlessStatusSink status_;
    HeadlessUiBridge bridge_;
    std::string title_;
};

// What an interactive command line is told when it cannot have the window.
inline constexpr const char* kNoWindowInThisBuild =
    "tidewell: the polling window is not part of this build; run one pass with a site number "
    "and /AUTO, /AUTODIAL, /GETSALES or /SENDITEMS (see tidewell --help).";
inline constexpr const char* kNoDisplayForWindow =
    "tidewell: no display for the polling window (neither DISPLAY nor WAYLAND_DISPLAY nor "
    "QT_QPA_PLATFORM is set, or --headless was given); run one pass with a site number and "
    "/AUTO, /AUTODIAL, /GETSALES or /SENDITEMS (see tidewell --help).";

// An automatic run from start to exit code: start-up (which starts the pass), the wait for
// the end-of-pass notice, the exit. A run that could not start its pass (no site, missing
// paths, monitor failure, another poller on the site) ends at once with the exit rule's code.
// An interactive command line needs the window: it is refused with 1 after `refusal`.
int RunAutomatic(CRadiantPollApp& app, HeadlessFrontEnd& frontEnd, int argc,
                 const char* const* argv, std::ostream& err, const std::string& executablePath = {},
                 const char* refusal = kNoWindowInThisBuild);

}  // namespace tw
