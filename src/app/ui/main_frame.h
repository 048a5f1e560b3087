#pragma once
// Tidewell's window: the front end of an interactive or windowed automatic run. A QMainWindow
// with the one-column "Status" list of the run's messages, the menus, a tool bar, a five-pane
// status bar and, where the desktop has one, an icon in the notification area whose tip names
// the open site.
//
// Commands are identified by their command ids (app/shell/commands.h). The window itself handles
// polling, the site choice, Purge Pending, About and Exit; the other entries (Setup > Site
// Settings..., the Edit editors, the View viewers, Help > Versions...) are present and disabled
// until a handler is attached with SetCommandHandler (app/ui/window_commands.h).
//
// Threads: create and use it on the UI thread. The monitor and the message facility reach it
// only through its Bridge(), Status() and Document(), which are safe from any thread and never
// wait for the UI thread.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/radiant_poll_app.h"
#include "app/ui/status_list.h"
#include "messages/screen_queue.h"
#include "messages/ui_interfaces.h"

class QAction;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolBar;
class QTreeView;

namespace tw::ui {

class CMainFrame;

// Chooses a site among `sites` with `current` preselected; nullopt when cancelled. The default
// shows the "Site" dialog; tests answer directly.
using SiteChooser =
    std::function<std::optional<int>(QWidget* parent, const std::vector<int>& sites, int current)>;

class CMainFrame final : public QMainWindow, public AppFrontEnd {
    Q_OBJECT

public:
    // prompter: the message boxes of the run (not owned; null: Qt message boxes over this
    // window). It must outlive the window.
    explicit CMainFrame(Prompter* prompter = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The application whose commands the menus run. Call once, before the application's
    // InitInstance; the application must outlive the window's use of it (until Detach).
    void AttachApp(CRadiantPollApp& app);
    // From now on end-of-pass notices are ignored and no command reaches the application: for
    // the application's own shut-down (ExitInstance stops the monitor itself).
    void DetachApp();

    // Attaches the handler of a command: its menu and tool-bar entries become enabled
    // (commands that act on a site only while one is open) and choosing them calls `handler`
    // on the UI thread. An empty handler detaches it, disabling the entry again. Replaces the
    // window's own handler for the ids it handles itself. This is how the settings dialog
    // (32774), the editors (40004, 40017, 40018) and the viewers (32775, 40001 to 40044, 40051)
    // join the window. The handler may use the application freely; it
    // must not destroy the window.
    void SetCommandHandler(int id, std::function<void()> handler);
    bool HasCommandHandler(int id) const;

    // Runs a command as the menu would (ignored when its entry is disabled). True when it ran.
    bool RunCommand(int id);
    // The entry of a command in the menus and tool bar (null for an unknown id).
    QAction* Action(int id) const;
    // The File menu as currently installed (also the notification icon's menu).
    QMenu* FileMenu() const { return fileMenu_; }

    void SetSiteChooser(SiteChooser chooser) { siteChooser_ = std::move(chooser); }

    // AppFrontEnd.
    MessageDocument* Document() override { return &document_; }
    Prompter& GetPrompter() override { return *prompter_; }
    StatusSink& Status() override { return *status_; }
    UiBridge& Bridge() override { return *bridge_; }
    void SetTitle(const std::string& documentTitle) override;
    void InstallMenu(bool withEditors) override;

    // The notification icon's tip ("Tidewell - Site %d"), kept even where there is no icon.
    const QString& TrayTip() const { return trayTip_; }
    bool HasTrayIcon() const { return trayIcon_ != nullptr; }
    // The first status-bar pane.
    QString StatusText() const;
    StatusListModel& StatusModel() { return statusModel_; }
    BatchedStatusList& StatusList() { return *statusList_; }
    QTreeView* StatusView() const { return statusView_; }

    // Enables and disables the entries from the application's state.
    void UpdateCommands();

signals:
    // The window was closed (File > Exit, the end of an automatic run's pass, or the close
    // button): the run is over. The owner quits its event loop.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class UiThreadBridge;
    class UiThreadStatus;
    friend class UiThreadBridge;

    void CreateActions();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateTrayIcon();
    QAction* AddAction(int id, const QString& text);
    bool IsEnabled(int id) const;
    void OnEndOfPassNotice();
    // Runs app work that may stop the monitor, under the wait cursor. Stopping pumps the UI
    // thread's events, so an end-of-pass notice may arrive meanwhile; it is handled once the
    // work is done, never in the middle of a stop.
    void WhileStopping(const std::function<void()>& work);
    void ChooseSite();
    void PurgePending(int id);
    void ShowAbout();

    std::unique_ptr<Prompter> ownPrompter_;
    Prompter* prompter_;
    std::unique_ptr<UiBridge> bridge_;
    std::unique_ptr<StatusSink> status_;
    StatusListModel statusModel_;
    QTreeView* statusView_ = nullptr;
    BatchedStatusList* statusList_ = nullptr;
    MessageDocument document_{kMaxStatusRows};

    CRadiantPollApp* app_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    QMenu* fileMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QSystemTrayIcon* trayIcon_ = nullptr;
    QString trayTip_;
    SiteChooser siteChooser_;
    int stopping_ = 0;
    bool endOfPassWaiting_ = false;
};

}  // namespace tw::ui
