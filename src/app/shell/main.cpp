// tidewell: the poller. Automatic runs (a site number and /AUTO, /AUTODIAL, /GETSALES,
// /SEND, /SENDITEMS) poll once and exit with 0 or 1. With a display they show the window while
// they poll; without one (or with --headless) they run exactly as a scheduler needs them to,
// never touching a display. Without a switch the window opens and the user polls from it.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "app/automation/ras_automation.h"
#include "app/shell/headless_front_end.h"
#include "app/shell/radiant_poll_app.h"
#include "app/shell/run_metrics.h"
#include "platform/system_text.h"
#include "platform/version.h"
#include "radiant/poll_monitor.h"
#include "settings/radiant_setup.h"

#ifdef TW_WITH_WINDOW
#include "app/ui/window_commands.h"
#include "app/ui/windowed_run.h"
#endif

namespace {

constexpr const char* kHelp =
    "Usage: tidewell [--headless] [SITE] [/AUTO | /AUTODIAL | /GETSALES | /SEND | /SENDITEMS]\n"
    "                [/EDITOR]\n"
    "\n"
    "Polls one site of a Radiant POS: fetches its sales journals and movement reports into the\n"
    "site's data directory, splits and files them for the back office, archives the journals,\n"
    "sends pending maintenance files with their semaphore and reads back the POS's results.\n"
    "\n"
    "SITE         the site number: the integer value of the first parameter (blanks and a\n"
    "             sign before the digits are read with it); default 1, and 0 means 1. A\n"
    "             negative number names no site: nothing is polled and the run fails.\n"
    "/AUTO        poll once with the site's own settings, then exit; no message boxes.\n"
    "/AUTODIAL    the same (for dial-up sites).\n"
    "/GETSALES    poll once, only receiving sales (SendItems off for this run).\n"
    "/SEND, /SENDITEMS  poll once, only sending maintenance files.\n"
    "/EDITOR      keep the maintenance editors in the menu (windowed runs).\n"
    "--headless   never open the window: automatic runs print their messages instead.\n"
    "--metrics FILE  after the run, replace FILE with the run's metrics in the node-exporter\n"
    "             textfile format (time, result, duration, events split, files received\n"
    "             and sent, errors, the last successful poll); implies --headless. A FILE\n"
    "             that cannot be written makes the exit code 1.\n"
    "--help       print this text and exit.\n"
    "--version    print the version and exit.\n"
    "\n"
    "The site files (RAVELIN.nnn, PATHMAP) are in $TIDEWELL_HOME, else in the directory of\n"
    "this program. A site without its RAVELIN.nnn is first set up by running ravelin (with\n"
    "/AUTO /SITE=n in automatic runs). Messages go to the site's POLL.LOG and to the window,\n"
    "or to the output when there is no window.\n"
    "Exit code: 1 when anything was reported as an error, else 0. A second poller for the\n"
    "same site logs that the site is already being polled and exits with 0.\n"
    "The window opens when a display is set (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM);\n"
    "without one, automatic runs poll without it and interactive runs are refused.\n";

[[maybe_unused]] bool DisplayConfigured() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

// An automatic run that leaves its metrics in metricsPath, whatever its outcome.
int RunWithMetrics(tw::CRadiantPollApp& app, tw::HeadlessFrontEnd& frontEnd, int argc, char** argv,
                   const char* refusal, const std::string& metricsPath) {
    tw::PassTally tally;
    app.ObserveLog([&tally](std::string_view text) { tally.Observe(text); });
    const auto wallStart = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();
    const int code = tw::RunAutomatic(app, frontEnd, argc, argv, std::cerr, {}, refusal);

    tw::RunMetrics metrics;
    tw::CMainInfo info;
    info.Parse(argc, argv, {});
    metrics.site = tw::SiteOfCommandLine(info).value_or(0);
    metrics.startedAt = std::chrono::duration<double>(wallStart.time_since_epoch()).count();
    metrics.durationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    metrics.exitCode = code;
    metrics.polled = app.PassStartedAtStartUp();
    metrics.errors = app.ErrorCount();
    metrics.counts = tally.Totals();
    int error = 0;
    if (!tw::WriteRunMetrics(metricsPath, metrics, &error)) {
        std::cerr << "tidewell: cannot write the metrics file " << metricsPath << ": "
                  << tw::platform::SystemErrorText(error) << '\n';
        return 1;
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    bool headless = false;
    std::string metricsPath;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i > 0 && (argument == "--help" || argument == "-h" || argument == "/?")) {
            std::cout << kHelp;
            return 0;
        }
        if (i > 0 && argument == "--version") {
            std::cout << tw::platform::VersionText("tidewell");
            return 0;
        }
        if (i > 0 && argument == "--headless") {
            headless = true;
        } else if (i > 0 && (argument == "--metrics" || argument.starts_with("--metrics="))) {
            if (argument == "--metrics" && i + 1 >= argc) {
                std::cerr << "tidewell: --metrics needs a file name (see tidewell --help).\n";
                return 1;
            }
            metricsPath = argument == "--metrics" ? argv[++i] : argument.substr(10);
            headless = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    const int count = static_cast<int>(args.size());
    args.push_back(nullptr);

    const tw::RasAutomationFactory createRas = tw::MakeRasAutomationFactory();
    tw::MonitorFactory factory = [&createRas](tw::UiBridge& notify, tw::RadiantSetup& setup) {
        return tw::CountedPtr<tw::Monitor::SingleWaiter>(
            tw::radiant::BuildRadiantPollMonitor(&notify, setup, createRas));
    };
    const char* refusal = tw::kNoWindowInThisBuild;
#ifdef TW_WITH_WINDOW
    if (!headless && DisplayConfigured())
        return tw::ui::RunWindowed(count, args.data(), factory,
                                   [](tw::ui::CMainFrame& frame, tw::CRadiantPollApp& app) {
                                       tw::ui::AttachSiteSettingsCommand(frame, app);
                                       tw::ui::AttachEditorCommands(frame, app);
                                       tw::ui::AttachViewerCommands(frame, app);
                                   });
    refusal = tw::kNoDisplayForWindow;
#else
    (void)headless;
#endif
    tw::HeadlessFrontEnd frontEnd(std::cout, std::cerr);
    tw::CRadiantPollApp app(frontEnd, factory);
    if (metricsPath.empty())
        return tw::RunAutomatic(app, frontEnd, count, args.data(), std::cerr, {}, refusal);
    return RunWithMetrics(app, frontEnd, count, args.data(), refusal, metricsPath);
}
