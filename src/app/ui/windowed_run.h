#pragma once
// A run of Tidewell with its window: interactive (the user starts and stops polling) or
// automatic (the window shows the pass and closes itself at its end, with the exit code of the
// headless run).

#include <functional>

#include "app/shell/radiant_poll_app.h"

namespace tw::ui {

class CMainFrame;

// Called once the window and the application exist, before start-up: attaches the command
// handlers of the dialogs, editors and viewers (CMainFrame::SetCommandHandler).
using AttachCommands = std::function<void(CMainFrame& frame, CRadiantPollApp& app)>;

// Connects to the display (the caller has checked that there is one), runs the application
// until its window closes and returns the exit code. An automatic run that could not start its
// pass ends at once, as it does without a window.
int RunWindowed(int argc, char** argv, MonitorFactory monitorFactory,
                const AttachCommands& attach = {});

}  // namespace tw::ui
