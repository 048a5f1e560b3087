#include "app/ui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <cstdio>

#include "app/shell/commands.h"
#include "app/ui/site_dialog.h"
#include "messages/string_table.h"
#include "messages/ui/qt_prompter.h"
#include "settings/radiant_setup.h"

namespace tw::ui {
namespace {

namespace cmd = tw::commands;

// The tip of a notification icon holds at most 127 characters.
constexpr int kMaxTipChars = 127;
// A notice that arrives while a pass still runs is looked at again after this long.
constexpr int kEndOfPassRetryMs = 50;

bool OnUiThread() {
    return QCoreApplication::instance() == nullptr ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

QString AppTitle() {
    return QString::fromUtf8(strings::LoadString(strings::kApplicationTitle));
}

// The program's icon (window, notification area): a wave over the station's forecourt.
QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x5f, 0x9f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(1, 1, 30, 30, 6, 6);
    painter.setPen(QPen(Qt::white, 3));
    QPainterPath wave;
    wave.moveTo(5, 18);
    wave.cubicTo(10, 10, 14, 26, 19, 18);
    wave.cubicTo(22, 13, 25, 14, 27, 16);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    painter.end();
    return QIcon(pixmap);
}

// The first line of a command's status-line text is its prompt, the second its tool tip.
void SetPrompt(QAction* action, int id) {
    const char* text = strings::LoadString(id);
    if (text == nullptr)
        return;
    const QStringList parts = QString::fromUtf8(text).split('\n');
    action->setStatusTip(parts.value(0));
    if (parts.size() > 1)
        action->setToolTip(parts.value(1));
}

}  // namespace

// ---- the interfaces the core calls from its threads ----

class CMainFrame::UiThreadBridge final : public UiBridge {
public:
    explicit UiThreadBridge(CMainFrame& frame) : frame_(&frame) {}
    void PostEndOfPass() override {
        // Queued on the window: dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            frame_.data(), [frame = frame_] { frame->OnEndOfPassNotice(); }, Qt::QueuedConnection);
    }
    void PumpEvents() override {
        // Paint and deliver posted work, but take no clicks while a stop waits: a command in
        // the middle of a stop would act on a monitor that is going away.
        if (OnUiThread())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QPointer<CMainFrame> frame_;
};

class CMainFrame::UiThreadStatus final : public StatusSink {
public:
    explicit UiThreadStatus(QLabel* pane) : pane_(pane) {}
    void SetStatusText(const std::string& text) override {
        const QString value = QString::fromStdString(text);
        if (OnUiThread()) {
            if (pane_)
                pane_->setText(value);
            return;
        }
        QMetaObject::invokeMethod(
            pane_.data(), [pane = pane_, value] { pane->setText(value); }, Qt::QueuedConnection);
    }

private:
    QPointer<QLabel> pane_;
};

// ---- CMainFrame ----

CMainFrame::CMainFrame(Prompter* prompter, QWidget* parent) : QMainWindow(parent) {
    if (prompter == nullptr) {
        ownPrompter_ = std::make_unique<QtPrompter>(this);
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    bridge_ = std::make_unique<UiThreadBridge>(*this);
    setWindowIcon(ProgramIcon());
    setWindowTitle(AppTitle());

    statusView_ = new QTreeView(this);
    statusView_->setModel(&statusModel_);
    statusView_->setRootIsDecorated(false);
    statusView_->setUniformRowHeights(true);
    statusView_->setItemsExpandable(false);
    statusView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    statusView_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The one column always fills the view.
    statusView_->header()->setStretchLastSection(true);
    statusView_->header()->setSectionsMovable(false);
    setCentralWidget(statusView_);
    statusList_ = new BatchedStatusList(statusModel_, statusView_, this);
    document_.SetView(statusList_);

    CreateActions();
    CreateToolBar();
    CreateStatusBar();
    status_ = std::make_unique<UiThreadStatus>(messagePane_);
    InstallMenu(true);
    handlers_[cmd::kExit] = [this] { close(); };
    handlers_[cmd::kAbout] = [this] { ShowAbout(); };
    UpdateCommands();
    resize(760, 460);
}

CMainFrame::~CMainFrame() {
    // The queue's worker may still deliver: it must find no list from here on.
    document_.SetView(nullptr);
}

void CMainFrame::AttachApp(CRadiantPollApp& app) {
    app_ = &app;
    handlers_[cmd::kStartPolling] = [this] { app_->StartPolling(); };
    handlers_[cmd::kStopPolling] = [this] { WhileStopping([this] { app_->StopPolling(); }); };
    handlers_[cmd::kSiteNumber] = [this] { ChooseSite(); };
    for (int id : {cmd::kPurgeItems, cmd::kPurgeDepartments, cmd::kPurgeItemGroups,
                   cmd::kPurgePromotions, cmd::kPurgeMixMatch}) {
        handlers_[id] = [this, id] { PurgePending(id); };
    }
    UpdateCommands();
}

void CMainFrame::DetachApp() {
    app_ = nullptr;
    UpdateCommands();
}

QAction* CMainFrame::AddAction(int id, const QString& text) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QStringLiteral("command%1").arg(id));
    SetPrompt(action, id);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    actions_[id] = action;
    return action;
}

void CMainFrame::CreateActions() {
    AddAction(cmd::kStartPolling, "Start &Polling");
    AddAction(cmd::kStopPolling, "&Stop Polling");
    AddAction(cmd::kPurgeItems, "&Item File");
    AddAction(cmd::kPurgeDepartments, "&Departments File");
    AddAction(cmd::kPurgeItemGroups, "&Item Groups File");
    AddAction(cmd::kPurgePromotions, "&Promotions File");
    AddAction(cmd::kEditDepartments, "&Departments");
    AddAction(cmd::kEditItemGroups, "Item &Groups");
    AddAction(cmd::kEditPromotions, "&Promotions");
    AddAction(cmd::kViewSales, "&Sales");
    AddAction(cmd::kViewItemsToSend, "&Items");
    AddAction(cmd::kViewDepartmentsToSend, "&Departments");
    AddAction(cmd::kViewItemGroupsToSend, "Item &Groups");
    AddAction(cmd::kViewPromotionsToSend, "&Promotions");
    AddAction(cmd::kViewItemsLastSent, "&Items");
    AddAction(cmd::kViewDepartmentsLastSent, "&Departments");
    AddAction(cmd::kViewItemGroupsLastSent, "Item &Groups");
    AddAction(cmd::kViewPromotionsLastSent, "&Promotions");
    AddAction(cmd::kViewLastResults, "Last Results");
    AddAction(cmd::kExit, "E&xit");
    AddAction(cmd::kSiteNumber, "&Site Number...");
    AddAction(cmd::kSiteSettings, "Site S&ettings...");
    AddAction(cmd::kVersions, "&Versions...");
    AddAction(cmd::kAbout, "&About Tidewell...");
    // The mix-and-match file has a command but no menu entry.
    AddAction(cmd::kPurgeMixMatch, "Mix Match File");
    AddAction(cmd::kEditMixMatch, "&Mix Match");
    Action(cmd::kStartPolling)->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    Action(cmd::kStopPolling)->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    Action(cmd::kSiteNumber)->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    Action(cmd::kSiteSettings)->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    Action(cmd::kAbout)->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
}

void CMainFrame::InstallMenu(bool withEditors) {
    QMenuBar* bar = menuBar();
    bar->clear();
    // Sub-menus are children of the bar's menus; the old ones go with them.
    for (QMenu* old : bar->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        old->deleteLater();

    fileMenu_ = new QMenu("&File", bar);
    fileMenu_->addAction(Action(cmd::kStartPolling));
    fileMenu_->addAction(Action(cmd::kStopPolling));
    QMenu* purge = fileMenu_->addMenu("&Purge Pending");
    for (int id :
         {cmd::kPurgeItems, cmd::kPurgeDepartments, cmd::kPurgeItemGroups, cmd::kPurgePromotions})
        purge->addAction(Action(id));
    if (withEditors) {
        QMenu* edit = fileMenu_->addMenu("&Edit");
        for (int id : {cmd::kEditDepartments, cmd::kEditItemGroups, cmd::kEditPromotions})
            edit->addAction(Action(id));
    }
    QMenu* view = fileMenu_->addMenu("&View");
    view->addAction(Action(cmd::kViewSales));
    QMenu* toSend = view->addMenu("&To Send");
    for (int id : {cmd::kViewItemsToSend, cmd::kViewDepartmentsToSend, cmd::kViewItemGroupsToSend,
                   cmd::kViewPromotionsToSend})
        toSend->addAction(Action(id));
    QMenu* lastSent = view->addMenu("&Last Sent");
    for (int id : {cmd::kViewItemsLastSent, cmd::kViewDepartmentsLastSent,
                   cmd::kViewItemGroupsLastSent, cmd::kViewPromotionsLastSent})
        lastSent->addAction(Action(id));
    view->addAction(Action(cmd::kViewLastResults));
    fileMenu_->addSeparator();
    fileMenu_->addAction(Action(cmd::kExit));
    bar->addMenu(fileMenu_);

    QMenu* setup = bar->addMenu("&Setup");
    setup->addAction(Action(cmd::kSiteNumber));
    setup->addAction(Action(cmd::kSiteSettings));
    QMenu* help = bar->addMenu("&Help");
    help->addAction(Action(cmd::kVersions));
    help->addAction(Action(cmd::kAbout));

    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    if (trayIcon_)
        trayIcon_->setContextMenu(fileMenu_);
    UpdateCommands();
}

void CMainFrame::CreateToolBar() {
    toolBar_ = addToolBar("Standard");
    toolBar_->setObjectName("toolBar128");
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setMovable(true);
    for (int id : {cmd::kStartPolling, cmd::kStopPolling}) toolBar_->addAction(Action(id));
    toolBar_->addSeparator();
    for (int id : {cmd::kSiteNumber, cmd::kSiteSettings}) toolBar_->addAction(Action(id));
    toolBar_->addSeparator();
    toolBar_->addAction(Action(cmd::kAbout));
}

void CMainFrame::CreateStatusBar() {
    // Five panes: the message pane, the blank indicator pane (101, 200 pixels wide), and the
    // keyboard indicator panes, which stay blank (Qt cannot read the lock keys' states).
    QStatusBar* bar = statusBar();
    messagePane_ = new QLabel(" ", bar);
    messagePane_->setObjectName("pane0");
    bar->addWidget(messagePane_, 1);
    auto* indicator = new QLabel(" ", bar);
    indicator->setObjectName("pane1");
    indicator->setFixedWidth(200);
    indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(indicator);
    for (const char* name : {"pane2", "pane3", "pane4"}) {
        auto* pane = new QLabel(" ", bar);
        pane->setObjectName(name);
        pane->setFixedWidth(pane->fontMetrics().horizontalAdvance("SCRL") + 8);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(pane);
    }
}

void CMainFrame::CreateTrayIcon() {
    if (trayIcon_) {
        trayIcon_->hide();
        delete trayIcon_;
        trayIcon_ = nullptr;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;  // a desktop without a notification area: the window alone
    trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
    trayIcon_->setToolTip(trayTip_);
    trayIcon_->setContextMenu(fileMenu_);
    connect(trayIcon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::DoubleClick)
                    return;
                if (isMinimized())
                    showNormal();
                raise();
                activateWindow();
            });
    trayIcon_->show();
}

void CMainFrame::SetTitle(const std::string& documentTitle) {
    const QString title = QString::fromStdString(documentTitle);
    const QString full = title.isEmpty() ? AppTitle() : AppTitle() + " - " + title;
    setWindowTitle(full);
    trayTip_ = full.left(kMaxTipChars);
    CreateTrayIcon();
    UpdateCommands();
}

QString CMainFrame::StatusText() const {
    return messagePane_->text();
}

QAction* CMainFrame::Action(int id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::SetCommandHandler(int id, std::function<void()> handler) {
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
    UpdateCommands();
}

bool CMainFrame::HasCommandHandler(int id) const {
    return handlers_.count(id) != 0;
}

bool CMainFrame::IsEnabled(int id) const {
    if (!HasCommandHandler(id))
        return false;
    const bool siteOpen = app_ && app_->SiteNumber() > 0 && app_->Setup() != nullptr;
    switch (id) {
        case cmd::kStartPolling:
            return siteOpen && !app_->IsPolling();
        case cmd::kStopPolling:
            return app_ && app_->IsPolling();
        default:
            return !cmd::NeedsSite(id) || siteOpen;
    }
}

void CMainFrame::UpdateCommands() {
    for (auto& [id, action] : actions_) action->setEnabled(IsEnabled(id));
    // With no pass running, no lock may linger.
    if (app_ && !app_->IsPolling() && stopping_ == 0)
        app_->ReleaseSiteLock();
}

bool CMainFrame::RunCommand(int id) {
    if (!IsEnabled(id))
        return false;
    // A copy: the handler may replace itself.
    const std::function<void()> handler = handlers_.at(id);
    handler();
    UpdateCommands();
    return true;
}

void CMainFrame::WhileStopping(const std::function<void()>& work) {
    ++stopping_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    work();
    QApplication::restoreOverrideCursor();
    --stopping_;
    if (stopping_ == 0 && endOfPassWaiting_) {
        endOfPassWaiting_ = false;
        QMetaObject::invokeMethod(this, &CMainFrame::OnEndOfPassNotice, Qt::QueuedConnection);
    }
}

void CMainFrame::OnEndOfPassNotice() {
    if (app_ == nullptr)
        return;
    if (stopping_ > 0) {
        endOfPassWaiting_ = true;
        return;
    }
    if (app_->IsPolling()) {
        // The notice of a pass stopped earlier, or this pass's own notice a moment before its
        // thread ends: look again once the pass is over.
        QTimer::singleShot(kEndOfPassRetryMs, this, &CMainFrame::OnEndOfPassNotice);
        return;
    }
    WhileStopping([this] { app_->OnEndOfPass(); });
    UpdateCommands();
    if (app_->ExitAtEndOfPass())
        QMetaObject::invokeMethod(
            this, [this] { RunCommand(cmd::kExit); }, Qt::QueuedConnection);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (trayIcon_) {
        trayIcon_->hide();
        delete trayIcon_;
        trayIcon_ = nullptr;
    }
    event->accept();
    emit exitRequested();
}

void CMainFrame::ChooseSite() {
    const std::vector<int> sites = app_->SiteChoices();
    const int current = app_->SiteNumber();
    const std::optional<int> chosen =
        siteChooser_ ? siteChooser_(this, sites, current) : CSiteDlg::Choose(this, sites, current);
    if (chosen && *chosen != current)
        WhileStopping([this, site = *chosen] { app_->OpenSite(site); });
}

void CMainFrame::PurgePending(int id) {
    app_->PurgePending(id);
}

void CMainFrame::ShowAbout() {
    QMessageBox::about(this, "About " + AppTitle(),
                       AppTitle() + " Version " + CRadiantPollApp::kVersion +
                           "\n\nPolls a Radiant POS for the back office: sales in, "
                           "maintenance files out.");
}

}  // namespace tw::ui
