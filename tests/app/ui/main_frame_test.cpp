// Tidewell's window over the application object, with passes the tests control.
#include "app/ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "app/shell/commands.h"
#include "app/ui/site_dialog.h"
#include "app/ui/window_commands.h"
#include "platform/named_lock.h"
#include "qt_test_support.h"
#include "settings/radiant_setup.h"
#include "settings/ui/site_settings_dialog.h"
#include "support/scratch_dir.h"

namespace tw::ui {
namespace {

namespace cmd = tw::commands;

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::QtApplicationEnvironment);

// Passes that wait until released or stopped.
struct PassControl {
    std::atomic<int> started{0};
    std::atomic<bool> release{false};
    std::atomic<bool> fail{false};
    // How long a stopped pass takes to wind up: longer than the stop's pumping interval, so
    // the UI thread pumps its events while it stops.
    std::atomic<int> windUpMs{0};
};

class GatedPass : public Monitor::WaitOverHandler {
public:
    explicit GatedPass(PassControl& control) : control_(control) {}
    bool Initialise() override { return true; }
    bool Process() override {
        ++control_.started;
        while (!control_.release.load() && !stop_.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (stop_.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(control_.windUpMs.load()));
        if (control_.fail.load())
            FormatMessageTo(errorMessages(), "Unable copy %s", "x");
        return !control_.fail.load();
    }
    bool Finish() override { return true; }
    void SetStopRequested(int requested) override { stop_.store(requested != 0); }

private:
    PassControl& control_;
    std::atomic<bool> stop_{false};
};

class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest() {
        for (int site : {1, 5, 12}) {
            char n[8];
            std::snprintf(n, sizeof n, "%03d", site);
            home.Write(std::string("RAVELIN.") + n, home.File(n) + "\n" + home.File("back") + "\n" +
                                                        home.File(n) + "\n" + home.File("back") +
                                                        "\n");
            home.Write(std::string(n) + "/SETUP." + n,
                       "SalesPath=/pos/export/\r\nImportDestinationPath=/pos/import/\r\n");
        }
    }
    ~MainFrameTest() override { Close(); }

    // Starts the window and the application with a command line.
    void Open(std::vector<const char*> args, Prompter* prompter = nullptr) {
        args.insert(args.begin(), "/usr/bin/tidewell");
        frame = std::make_unique<CMainFrame>(prompter ? prompter : &prompts);
        app = std::make_unique<CRadiantPollApp>(*frame, [this](UiBridge& notify, RadiantSetup&) {
            auto waiter = CountedPtr<Monitor::SingleWaiter>(new PollerWaiter(
                &notify,
                CountedPtr<Monitor::WaitHandler>(new Monitor::WaitTimeoutHandler(30000, true)),
                CountedPtr<Monitor::WaitOverHandler>(new GatedPass(passes))));
            waiter->SetSinglePass(true);
            return waiter;
        });
        frame->AttachApp(*app);
        QObject::connect(frame.get(), &CMainFrame::exitRequested, [this] { exitRequested = true; });
        frame->show();
        ASSERT_TRUE(
            app->InitInstance(static_cast<int>(args.size()), args.data(), "/usr/bin/tidewell"));
        frame->UpdateCommands();
    }

    int Close() {
        if (!app)
            return -1;
        frame->DetachApp();
        const int code = app->ExitInstance();
        app.reset();
        frame.reset();
        return code;
    }

    bool Enabled(int id) { return frame->Action(id)->isEnabled(); }

    // The texts of a menu's entries, sub-menus by their titles.
    static std::vector<QString> Entries(QMenu* menu) {
        std::vector<QString> texts;
        for (QAction* action : menu->actions()) texts.push_back(action->text());
        return texts;
    }
    QMenu* SubMenu(QMenu* menu, const QString& title) {
        for (QAction* action : menu->actions()) {
            if (action->menu() && action->text() == title)
                return action->menu();
        }
        return nullptr;
    }

    test::ScratchDir home;
    test::ScopedEnv homeEnv{"TIDEWELL_HOME", home.Path()};
    test::ScratchDir locks;
    test::ScopedEnv lockEnv{"TIDEWELL_LOCK_DIR", locks.Path()};
    test::ScriptedPrompter prompts;
    PassControl passes;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CRadiantPollApp> app;
    bool exitRequested = false;
};

TEST_F(MainFrameTest, MenusCarryEveryCommandAndWithoutEditorTheEditMenuIsGone) {
    Open({"5"});
    QMenu* file = frame->FileMenu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Entries(file), (std::vector<QString>{"Start &Polling", "&Stop Polling",
                                                   "&Purge Pending", "&View", "", "E&xit"}));
    EXPECT_EQ(Entries(SubMenu(file, "&Purge Pending")),
              (std::vector<QString>{"&Item File", "&Departments File", "&Item Groups File",
                                    "&Promotions File"}));
    QMenu* view = SubMenu(file, "&View");
    EXPECT_EQ(Entries(view),
              (std::vector<QString>{"&Sales", "&To Send", "&Last Sent", "Last Results"}));
    EXPECT_EQ(SubMenu(view, "&To Send")->actions().at(0), frame->Action(cmd::kViewItemsToSend));
    EXPECT_EQ(SubMenu(view, "&Last Sent")->actions().at(3),
              frame->Action(cmd::kViewPromotionsLastSent));
    std::vector<QString> bar;
    for (QAction* action : frame->menuBar()->actions()) bar.push_back(action->text());
    EXPECT_EQ(bar, (std::vector<QString>{"&File", "&Setup", "&Help"}));
    EXPECT_EQ(frame->Action(cmd::kStartPolling)->statusTip(), "Starts polling.");
    EXPECT_EQ(frame->Action(cmd::kStartPolling)->data().toInt(), 32771);

    // Entries nobody handles yet are there, and disabled; a handler enables them.
    EXPECT_TRUE(Enabled(cmd::kStartPolling));
    EXPECT_FALSE(Enabled(cmd::kStopPolling));
    EXPECT_TRUE(Enabled(cmd::kPurgeItems));
    EXPECT_TRUE(Enabled(cmd::kSiteNumber));
    EXPECT_FALSE(Enabled(cmd::kSiteSettings));
    EXPECT_FALSE(Enabled(cmd::kViewSales));
    EXPECT_FALSE(Enabled(cmd::kViewLastResults));
    int settingsShown = 0;
    frame->SetCommandHandler(cmd::kSiteSettings, [&] { ++settingsShown; });
    EXPECT_TRUE(Enabled(cmd::kSiteSettings));
    frame->Action(cmd::kSiteSettings)->trigger();
    EXPECT_EQ(settingsShown, 1);
    frame->SetCommandHandler(cmd::kSiteSettings, {});
    EXPECT_FALSE(frame->RunCommand(cmd::kSiteSettings));
    EXPECT_EQ(settingsShown, 1);
    Close();

    Open({"5", "/EDITOR"});
    QMenu* edit = SubMenu(frame->FileMenu(), "&Edit");
    ASSERT_NE(edit, nullptr) << "/EDITOR keeps the editors";
    EXPECT_EQ(Entries(edit), (std::vector<QString>{"&Departments", "Item &Groups", "&Promotions"}));
    EXPECT_FALSE(Enabled(cmd::kEditDepartments)) << "no editor is attached";
}

TEST_F(MainFrameTest, TitleAndTipNameTheOpenSite) {
    Open({"12"});
    EXPECT_EQ(frame->windowTitle(), "Tidewell - Site 12");
    EXPECT_EQ(frame->TrayTip(), "Tidewell - Site 12");
    // Another site by the Site dialog.
    std::vector<int> offered;
    int preselected = 0;
    frame->SetSiteChooser([&](QWidget*, const std::vector<int>& sites, int current) {
        offered = sites;
        preselected = current;
        return std::optional<int>(5);
    });
    ASSERT_TRUE(frame->RunCommand(cmd::kSiteNumber));
    EXPECT_EQ(std::set<int>(offered.begin(), offered.end()), (std::set<int>{1, 5, 12}));
    EXPECT_EQ(preselected, 12);
    EXPECT_EQ(app->SiteNumber(), 5);
    EXPECT_EQ(frame->windowTitle(), "Tidewell - Site 5");
    EXPECT_EQ(frame->TrayTip(), "Tidewell - Site 5");
}

TEST_F(MainFrameTest, TheSiteDialogOffersTheSitesWithTheCurrentOneSelected) {
    CSiteDlg dialog({1, 5, 12}, 5);
    EXPECT_EQ(dialog.windowTitle(), "Site");
    ASSERT_EQ(dialog.SiteList()->count(), 3);
    EXPECT_EQ(dialog.SiteList()->itemText(2), "12");
    EXPECT_EQ(dialog.SiteList()->currentText(), "5");
    bool labelled = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labelled |= label->text() == "Select site #" && label->buddy() == dialog.SiteList();
    EXPECT_TRUE(labelled);
    dialog.SiteList()->setCurrentIndex(0);
    EXPECT_EQ(dialog.SelectedSite(), 1);
    EXPECT_EQ(CSiteDlg({}, 1).SelectedSite(), std::nullopt);
}

TEST_F(MainFrameTest, PurgePendingAsksWithTheExactTextsAndDeletesOnlyOnYes) {
    Open({"5"});
    struct Case {
        int id;
        const char* file;
        const char* title;
        const char* question;
    };
    const Case cases[] = {
        {cmd::kPurgeItems, "ITT.XML", "Delete Pending Item Upload File",
         "Would you like to delete the pending item upload file?"},
        {cmd::kPurgeDepartments, "MCT.XML", "Delete Pending File",
         "Would you like to delete the pending departments upload file?"},
        {cmd::kPurgeItemGroups, "ILT.XML", "Delete Pending File",
         "Would you like to delete the pending item groups upload file?"},
        {cmd::kPurgePromotions, "CBT.XML", "Delete Pending File",
         "Would you like to delete the pending promotions upload file?"},
        {cmd::kPurgeMixMatch, "MMT.XML", "Delete Pending File",
         "Would you like to delete the pending mix match upload file?"},
    };
    for (const Case& c : cases) {
        const std::string path = home.Write(std::string("005/") + c.file, "<pending/>");
        prompts.questions.clear();
        prompts.answers = {false};
        ASSERT_TRUE(frame->RunCommand(c.id)) << c.id;
        EXPECT_TRUE(std::filesystem::exists(path)) << "No keeps " << c.file;
        prompts.answers = {true};
        frame->RunCommand(c.id);
        EXPECT_FALSE(std::filesystem::exists(path)) << "Yes deletes " << c.file;
        ASSERT_EQ(prompts.questions.size(), 2u);
        EXPECT_EQ(prompts.questions[0].title, c.title);
        EXPECT_EQ(prompts.questions[0].text, c.question);
    }
}

TEST_F(MainFrameTest, PurgePendingInARealBoxDefaultsToNo) {
    // The window's own message boxes: Return takes the default button, which keeps the file.
    auto realFrame = std::make_unique<CMainFrame>();  // Qt message boxes
    CRadiantPollApp realApp(*realFrame, {});
    realFrame->AttachApp(realApp);
    const char* args[] = {"/usr/bin/tidewell", "5"};
    ASSERT_TRUE(realApp.InitInstance(2, args, "/usr/bin/tidewell"));
    const std::string path = home.Write("005/MCT.XML", "<pending/>");
    QString title, text;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        timer.stop();
        title = box->windowTitle();
        text = box->text();
        defaultButton = box->standardButton(box->defaultButton());
        box->defaultButton()->click();
    });
    timer.start(10);
    realFrame->RunCommand(cmd::kPurgeDepartments);
    EXPECT_EQ(title, "Delete Pending File");
    EXPECT_EQ(text, "Would you like to delete the pending departments upload file?");
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_TRUE(std::filesystem::exists(path));
    realFrame->DetachApp();
    EXPECT_EQ(realApp.ExitInstance(), 0);
}

TEST_F(MainFrameTest, VersionsShowsBothVersionLogsAndCopesWithoutASite) {
    // Closes the next dialog that becomes modal, keeping the text it showed.
    const auto closeNextDialog = [](QString* text) {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, [timer, text] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            timer->stop();
            timer->deleteLater();
            for (QTextBrowser* browser : dialog->findChildren<QTextBrowser*>())
                *text = browser->toPlainText();
            *text = dialog->windowTitle() + "\n" + *text;
            dialog->reject();
        });
        timer->start(10);
    };
    home.Write("005/VersionPOS.005", "5      Mon Dec  7 10:00:00 2026 Radiant <POS> 12.3\n");
    Open({"5"});
    EXPECT_FALSE(Enabled(cmd::kVersions)) << "no handler, no entry";
    AttachViewerCommands(*frame, *app);
    QString shown;
    closeNextDialog(&shown);
    ASSERT_TRUE(frame->RunCommand(cmd::kVersions));
    EXPECT_TRUE(shown.startsWith("Radiant/Tidewell Version Information\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Radiant <POS> 12.3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Tidewell 1.1.1.9")) << shown.toStdString();
    Close();

    Open({" -3"});  // no site open
    AttachViewerCommands(*frame, *app);
    shown.clear();
    closeNextDialog(&shown);
    ASSERT_TRUE(frame->RunCommand(cmd::kVersions));
    EXPECT_TRUE(shown.startsWith("Radiant/Tidewell Version Information")) << shown.toStdString();
}

TEST_F(MainFrameTest, StartAndStopPollingFollowThePass) {
    Open({"5"});
    ASSERT_TRUE(frame->RunCommand(cmd::kStartPolling));
    ASSERT_TRUE(test::SpinUntil([&] { return passes.started.load() == 1; }));
    EXPECT_FALSE(Enabled(cmd::kStartPolling));
    EXPECT_TRUE(Enabled(cmd::kStopPolling));
    platform::NamedLock other(platform::SiteLockName(home.File("005") + "/"));
    EXPECT_FALSE(other.TryLock()) << "the site lock is held while polling";

    // The pass ends by itself: an interactive run returns to idle and lets the site go.
    passes.release = true;
    ASSERT_TRUE(test::SpinUntil([&] { return Enabled(cmd::kStartPolling); }));
    EXPECT_FALSE(Enabled(cmd::kStopPolling));
    EXPECT_FALSE(exitRequested);
    EXPECT_TRUE(other.TryLock());
    other.Unlock();

    // Stopped by the user in the middle of a pass: the notice the pass posts while the stop
    // waits is handled after it, and polling can start again.
    passes.release = false;
    passes.windUpMs = 300;
    ASSERT_TRUE(frame->RunCommand(cmd::kStartPolling));
    ASSERT_TRUE(test::SpinUntil([&] { return passes.started.load() == 2; }));
    ASSERT_TRUE(frame->RunCommand(cmd::kStopPolling));
    EXPECT_FALSE(app->IsPolling());
    ASSERT_TRUE(test::SpinUntil([&] { return Enabled(cmd::kStartPolling); }));
    frame->StatusList().Flush();
    const int rows = frame->StatusModel().rowCount();
    ASSERT_GT(rows, 0);
    ASSERT_TRUE(test::SpinUntil([&] {
        frame->StatusList().Flush();
        const int n = frame->StatusModel().rowCount();
        return n > 0 && frame->StatusModel().Row(n - 1) == "Monitoring stopped.";
    }));
    EXPECT_TRUE(other.TryLock());
    EXPECT_EQ(Close(), 0);
}

TEST_F(MainFrameTest, SiteSettingsEditWithPollingStoppedAndPollingResumesAfterwards) {
    Open({"5"});
    EXPECT_FALSE(Enabled(cmd::kSiteSettings)) << "no handler, no entry";
    AttachSiteSettingsCommand(*frame, *app);
    ASSERT_TRUE(Enabled(cmd::kSiteSettings));
    ASSERT_TRUE(frame->RunCommand(cmd::kStartPolling));
    ASSERT_TRUE(test::SpinUntil([&] { return passes.started.load() == 1; }));

    bool dialogShown = false;
    bool pollingWhileShown = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = dynamic_cast<SiteSettingsDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        dialogShown = true;
        pollingWhileShown = app->IsPolling();
        dialog->reject();
    });
    timer.start(10);
    ASSERT_TRUE(frame->RunCommand(cmd::kSiteSettings));
    timer.stop();

    EXPECT_TRUE(dialogShown);
    EXPECT_FALSE(pollingWhileShown) << "a pass must not run while its settings change";
    EXPECT_TRUE(app->IsPolling()) << "polling was running, so it runs again";
    EXPECT_TRUE(test::SpinUntil([&] { return passes.started.load() == 2; }));
    passes.release = true;
    ASSERT_TRUE(test::SpinUntil([&] { return Enabled(cmd::kStartPolling); }));

    // Idle before, idle after.
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* dialog = dynamic_cast<SiteSettingsDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    timer.start(10);
    ASSERT_TRUE(frame->RunCommand(cmd::kSiteSettings));
    EXPECT_FALSE(app->IsPolling());
    EXPECT_EQ(passes.started.load(), 2);
}

TEST_F(MainFrameTest, AnAutomaticRunClosesTheWindowAtTheEndOfItsPass) {
    passes.release = true;
    Open({"5", "/AUTO"});
    EXPECT_TRUE(app->PassStartedAtStartUp());
    ASSERT_TRUE(test::SpinUntil([&] { return exitRequested; }));
    EXPECT_EQ(Close(), 0);

    exitRequested = false;
    passes.fail = true;
    Open({"5", "/AUTO"});
    ASSERT_TRUE(test::SpinUntil([&] { return exitRequested; }));
    EXPECT_EQ(Close(), 1) << "a reported failure gives 1, as without the window";
    EXPECT_TRUE(prompts.messages.empty()) << "an automatic run shows no message box";
}

TEST_F(MainFrameTest, StatusTextsReachTheFirstPaneFromAnyThread) {
    Open({"5"});
    std::thread worker([] { SendMessageText(statusMessages(), "Receiving sales"); });
    worker.join();
    EXPECT_TRUE(test::SpinUntil([&] { return frame->StatusText() == "Receiving sales"; }));
}

TEST_F(MainFrameTest, FiftyThousandLinesArriveWithoutHoldingTheWindow) {
    Open({"5"});
    constexpr int kLines = 50000;
    // The UI thread's own timer keeps ticking while the lines arrive: its longest gap shows
    // whether anything held the thread.
    auto last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longestGap{};
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    ticker.start(5);
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([] {
        for (int i = 0; i < kLines; ++i)
            FormatMessageTo(screenMessages(), "Split to: jrn%06d.xml", i);
    });
    const auto lastLine = QString::asprintf("Split to: jrn%06d.xml", kLines - 1);
    const bool arrived = test::SpinUntil([&] {
        const int n = frame->StatusModel().rowCount();
        return n > 0 && frame->StatusModel().Row(n - 1) == lastLine;
    });
    worker.join();
    const auto took = std::chrono::steady_clock::now() - start;
    ticker.stop();
    ASSERT_TRUE(arrived);
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    std::printf("%d status lines shown in %lld ms; the UI thread's longest gap %lld ms\n", kLines,
                static_cast<long long>(duration_cast<milliseconds>(took).count()),
                static_cast<long long>(duration_cast<milliseconds>(longestGap).count()));
    // The newest lines stay, in order; the list never holds more than its limit.
    EXPECT_EQ(frame->StatusModel().rowCount(), kMaxStatusRows);
    EXPECT_EQ(frame->StatusModel().Row(0),
              QString::asprintf("Split to: jrn%06d.xml", kLines - kMaxStatusRows));
}

TEST(BatchedStatusList, AStalledWindowHoldsNoMoreThanTheListsLimit) {
    // The UI thread shows nothing while the lines arrive: what waits for it stays bounded.
    StatusListModel model;
    BatchedStatusList list(model, nullptr);
    MessageDocument document(kMaxStatusRows);
    document.SetView(&list);
    for (int i = 0; i < 3 * kMaxStatusRows; ++i) document.AddMessage("line " + std::to_string(i));
    EXPECT_EQ(list.ItemCount(), kMaxStatusRows);
    list.Flush();
    ASSERT_EQ(model.rowCount(), kMaxStatusRows);
    EXPECT_EQ(model.Row(0), QString("line %1").arg(2 * kMaxStatusRows));
    // Shown rows are the next to go.
    document.AddMessage("newest");
    list.Flush();
    EXPECT_EQ(model.rowCount(), kMaxStatusRows);
    EXPECT_EQ(model.Row(0), QString("line %1").arg(2 * kMaxStatusRows + 1));
    EXPECT_EQ(model.Row(kMaxStatusRows - 1), "newest");
    document.SetView(nullptr);
}

}  // namespace
}  // namespace tw::ui
