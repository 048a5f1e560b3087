// tidewell: the poller. Automatic runs (a site number and /AUTO, /AUTODIAL, /GETSALES,
// /SEND, /SENDITEMS) poll once and exit with 0 or 1; they need no display.
#include <iostream>

#include "app/automation/ras_automation.h"
#include "app/shell/headless_front_end.h"
#include "app/shell/radiant_poll_app.h"
#include "radiant/poll_monitor.h"
#include "settings/radiant_setup.h"

namespace {

constexpr const char* kHelp =
    "Usage: tidewell [SITE] [/AUTO | /AUTODIAL | /GETSALES | /SEND | /SENDITEMS] [/EDITOR]\n"
    "\n"
    "Polls one site of a Radiant POS: fetches its sales journals and movement reports into the\n"
    "site's data directory, splits and files them for the back office, archives the journals,\n"
    "sends pending maintenance files with their semaphore and reads back the POS's results.\n"
    "\n"
    "SITE         the site number (default 1; 0 means 1).\n"
    "/AUTO        poll once with the site's own settings, then exit; no message boxes.\n"
    "/AUTODIAL    the same (for dial-up sites).\n"
    "/GETSALES    poll once, only receiving sales (SendItems off for this run).\n"
    "/SEND, /SENDITEMS  poll once, only sending maintenance files.\n"
    "/EDITOR      keep the maintenance editors in the menu (windowed runs).\n"
    "\n"
    "The site files (RAVELIN.nnn, PATHMAP) are in $TIDEWELL_HOME, else in the directory of\n"
    "this program. A site without its RAVELIN.nnn is first set up by running ravelin (with\n"
    "/AUTO /SITE=n in automatic runs). Messages go to the site's POLL.LOG and to the output.\n"
    "Exit code: 1 when anything was reported as an error, else 0. A second poller for the\n"
    "same site logs that the site is already being polled and exits with 0.\n"
    "Without a switch Tidewell opens its window, which this build does not have yet.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h" || argument == "/?") {
            std::cout << kHelp;
            return 0;
        }
    }
    tw::HeadlessFrontEnd frontEnd(std::cout, std::cerr);
    const tw::RasAutomationFactory createRas = tw::MakeRasAutomationFactory();
    tw::CRadiantPollApp app(frontEnd, [&createRas](tw::UiBridge& notify, tw::RadiantSetup& setup) {
        return tw::CountedPtr<tw::Monitor::SingleWaiter>(
            tw::radiant::BuildRadiantPollMonitor(&notify, setup, createRas));
    });
    return tw::RunAutomatic(app, frontEnd, argc, argv, std::cerr);
}
