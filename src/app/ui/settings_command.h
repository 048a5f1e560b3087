#pragma once
// Setup > Site Settings... in Tidewell's window.

namespace tw {
class CRadiantPollApp;
}

namespace tw::ui {

class CMainFrame;

// Attaches the site settings dialog to its command (32774): polling of the open site stops
// while the dialog edits its settings and starts again afterwards when it was running, so a
// pass never runs with settings half-changed. UI thread; frame and app must outlive the handler.
void AttachSiteSettingsCommand(CMainFrame& frame, CRadiantPollApp& app);

}  // namespace tw::ui
