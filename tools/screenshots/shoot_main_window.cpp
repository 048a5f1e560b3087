// Tidewell's window after a pass over a simulated POS, with its File menu open, and the "Site"
// dialog.
// screenshot-libs: tw_app_ui tw_radiant tw_settings
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/shell/commands.h"
#include "app/ui/main_frame.h"
#include "app/ui/site_dialog.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "radiant/poll_monitor.h"
#include "settings/radiant_setup.h"
#include "settings/site_file.h"
#include "shot_support.h"

namespace {

bool Run(const std::vector<std::string>& argv) {
    tw::platform::PosixProcessLauncher launcher;
    tw::platform::ProcessOptions options;
    options.timeLimit = std::chrono::minutes(2);
    const auto outcome = launcher.Run(argv, options);
    if (!outcome.Succeeded())
        std::fprintf(stderr, "%s failed\n", argv.front().c_str());
    return outcome.Succeeded();
}

// Site 1 of `home` over a POS export of one evening's sales, as Ravelin lays a site out.
bool LayOutSite(const std::string& root) {
    const std::string home = root + "/home", data = home + "/001", pos = root + "/pos";
    if (!Run({POSSIM_PROGRAM, "export-dir", "--out", pos, "--seed", "7", "--events", "40"}))
        return false;
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(root + "/import");
    if (!Run({PASS_PROGRAM, "history", data + "/POLHISTD.001"}))
        return false;
    return tw::platform::WriteFileAtomically(home + "/RAVELIN.001",
                                             tw::FormatSiteFile({data, root + "/back", data})) &&
           tw::platform::WriteFileAtomically(home + "/RAVELIN.002",
                                             tw::FormatSiteFile({home + "/002", "", ""})) &&
           tw::platform::WriteFileAtomically(
               data + "/SETUP.001",
               "SalesPath=" + pos + "/\r\nImportDestinationPath=" + root +
                   "/import/\r\nSendItems=TRUE\r\nReceiveSales=TRUE\r\n7Z=FALSE\r\n");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName("Tidewell");
    const QString out = tw::shots::OutputDirectory(argc, argv, "shoot_main_window");
    QTemporaryDir scratch;
    const std::string root = scratch.path().toStdString();
    if (!LayOutSite(root))
        return 1;
    setenv("TIDEWELL_HOME", (root + "/home").c_str(), 1);
    setenv("TIDEWELL_LOCK_DIR", root.c_str(), 1);

    tw::HeadlessPrompter prompter;  // a shot never waits for a click
    tw::ui::CMainFrame frame(&prompter);
    tw::CRadiantPollApp app(frame, [](tw::UiBridge& notify, tw::RadiantSetup& setup) {
        return tw::CountedPtr<tw::Monitor::SingleWaiter>(
            tw::radiant::BuildRadiantPollMonitor(&notify, setup, {}));
    });
    frame.AttachApp(app);
    frame.resize(900, 520);
    const char* args[] = {"tidewell", "1"};
    if (!app.InitInstance(2, args))
        return 1;
    frame.show();
    frame.RunCommand(tw::commands::kStartPolling);
    tw::shots::Spin([&] { return !app.IsPolling(); });
    tw::shots::Spin([&] {
        frame.StatusList().Flush();
        return frame.Action(tw::commands::kStartPolling)->isEnabled();
    });
    frame.StatusList().Flush();

    bool ok = tw::shots::Save(frame, out, "main_window");
    ok &= tw::shots::SaveWithMenu(frame, *frame.FileMenu(), out, "main_window_file_menu");
    tw::ui::CSiteDlg site(app.SiteChoices(), app.SiteNumber(), &frame);
    ok &= tw::shots::Save(site, out, "site_dialog");
    site.hide();

    frame.DetachApp();
    app.ExitInstance();
    return ok ? 0 : 1;
}
