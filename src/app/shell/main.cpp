// tidewell: the poller. Automatic runs (a site number and /AUTO, /AUTODIAL, /GETSALES,
// /SEND, /SENDITEMS) poll once and exit with 0 or 1. With a display they show the window while
// they poll; without one (or with --headless) they run exactly as a scheduler needs them to,
// never touching a display. Without a switch the window opens and the user polls from it.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "app/automation/ras_automation.h"
#include "app/shell/headless_front_end.h"
#include "app/shell/radiant_poll_app.h"
#include "radiant/poll_monitor.h"
#include "settings/radiant_setup.h"

#ifdef TW_WITH_WINDOW
#include "app/shell/commands.h"
#include "app/ui/main_frame.h"
#include "app/ui/windowed_run.h"
#include "naxml/ui/editor_launch.h"
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    bool headless = false;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i > 0 && (argument == "--help" || argument == "-h" || argument == "/?")) {
            std::cout << kHelp;
            return 0;
        }
        if (i > 0 && argument == "--headless")
            headless = true;
        else
            args.push_back(argv[i]);
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
        return tw::ui::RunWindowed(
            count, args.data(), factory, [](tw::ui::CMainFrame& frame, tw::CRadiantPollApp& app) {
                // The maintenance editors of the Edit menu.
                frame.SetCommandHandler(tw::commands::kEditDepartments, [&frame, &app] {
                    tw::ui::OpenDepartmentEditor(app.Setup(), frame.GetPrompter(), &frame);
                });
                frame.SetCommandHandler(tw::commands::kEditItemGroups, [&frame, &app] {
                    tw::ui::OpenItemListEditor(app.Setup(), frame.GetPrompter(), &frame);
                });
                frame.SetCommandHandler(tw::commands::kEditPromotions, [&frame, &app] {
                    tw::ui::OpenComboEditor(app.Setup(), frame.GetPrompter(), &frame);
                });
                frame.SetCommandHandler(tw::commands::kEditMixMatch, [&frame, &app] {
                    tw::ui::OpenMixMatchEditor(app.Setup(), frame.GetPrompter(), &frame);
                });
            });
    refusal = tw::kNoDisplayForWindow;
#else
    (void)headless;
#endif
    tw::HeadlessFrontEnd frontEnd(std::cout, std::cerr);
    tw::CRadiantPollApp app(frontEnd, factory);
    return tw::RunAutomatic(app, frontEnd, count, args.data(), std::cerr, {}, refusal);
}
