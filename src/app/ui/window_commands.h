#pragma once
// The commands of Tidewell's window served by other subsystems' dialogs.

namespace tw {
class CRadiantPollApp;
}

namespace tw::ui {

class CMainFrame;

// Attaches the site settings dialog to its command (32774): polling of the open site stops
// while the dialog edits its settings and starts again afterwards when it was running, so a
// pass never runs with settings half-changed. UI thread; frame and app must outlive the handler.
void AttachSiteSettingsCommand(CMainFrame& frame, CRadiantPollApp& app);

// Attaches the maintenance editors to the Edit menu (present only with /EDITOR): Departments
// (40004), Item Groups (40017) and Promotions (40018), and the mix-and-match editor (40019, a
// command without a menu entry), each opening over the window for the open site. UI thread;
// frame and app must outlive the handlers.
void AttachEditorCommands(CMainFrame& frame, CRadiantPollApp& app);

// Attaches the viewers to the View menu (sales, to send, last sent, last results) and to
// Help > Versions...: each page is made from the open site's files when chosen; Versions also
// without an open site (an empty page). UI thread; frame and app must outlive the handlers.
void AttachViewerCommands(CMainFrame& frame, CRadiantPollApp& app);

}  // namespace tw::ui
