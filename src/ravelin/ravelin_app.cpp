#include "ravelin/ravelin_app.h"

#include <cctype>
#include <cstdlib>

#include "app/command_line.h"
#include "messages/program_messages.h"
#include "messages/screen_queue.h"
#include "messages/stream_message_list.h"
#include "messages/ui_interfaces.h"
#include "platform/os_services.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "ravelin/ravelin_flags.h"
#include "ravelin/setup_options.h"
#include "ravelin/site_setup.h"

namespace tw::ravelin {
namespace {

constexpr const char* kHelp =
    "Usage: ravelin [PROGRAM-DIRECTORY] /AUTO [/SITE=n] [/TAMBORPATH=dir] [/SITES=n]\n"
    "               [/OVERWRITE] [/<POLLER>]\n"
    "\n"
    "Sets up the poller working area of one site or of every site: the site directory\n"
    "PROGRAM-DIRECTORY/nnn, the site file PROGRAM-DIRECTORY/RAVELIN.nnn (four lines: site\n"
    "directory, back-office directory, log directory, back-office directory) and the site's\n"
    "files copied from the templates PROGRAM-DIRECTORY/*.STA as NAME.nnn.\n"
    "\n"
    "PROGRAM-DIRECTORY  where the site files live; default $TIDEWELL_HOME, else the\n"
    "                   directory of the ravelin program.\n"
    "/AUTO              unattended: no dialog; messages are printed; the run always ends.\n"
    "                   Without it the set-up window opens (a display is needed).\n"
    "/SITE=n            set up site n only (0 or none: every site).\n"
    "/SITES=n           the installation has sites 1 to n (default: the highest number among\n"
    "                   the existing RAVELIN.nnn files and nnn directories, at least 1, and\n"
    "                   the /SITE asked for).\n"
    "/TAMBORPATH=dir    the back-office directory (default: the program directory).\n"
    "/OVERWRITE         rewrite existing site files (templates already copied are kept).\n"
    "/TIDEWELL          name the poller being set up (default: guessed from the programs\n"
    "                   in the program directory).\n"
    "--help             print this text and exit.\n"
    "--version          print the version and exit.\n"
    "Switches begin with '/' or '-' and ignore case; a '/' path such as /srv/qor/ is taken\n"
    "for the program directory, not for a switch.\n"
    "Exit code: 0, or 1 when an error was reported.\n";

// The program directory: the first parameter after the program's own path that does not begin
// with a digit; else $TIDEWELL_HOME; else the program's own directory.
std::string ProgramDirectory(const CMainInfo& info) {
    for (std::size_t i = 1; i < info.parameters.size(); ++i) {
        const std::string& p = info.parameters[i];
        if (!p.empty() && !std::isdigit(static_cast<unsigned char>(p.front()))) {
            return platform::AddSeparator(p);
        }
    }
    return SiteHomeDirectory(info);
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool DisplayAvailable() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

SetupPaths FoundPaths(const CMainInfo& info) {
    SetupPaths paths;
    // Absolute, because the site file written here is read by a Tidewell started elsewhere.
    paths.programDirectory = platform::AbsoluteDirectory(ProgramDirectory(info));
    paths.siteRoot = paths.programDirectory;
    const std::string tamborPath = info.ValueOf("TAMBORPATH");
    paths.backOfficePath =
        tamborPath.empty() ? paths.programDirectory : StoredDirectory(tamborPath);
    paths.errorLogPath = paths.programDirectory;
    paths.useCommonErrorLogPath = false;
    return paths;
}

int RunRavelin(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               WindowRun window) {
    CMainInfo info;
    info.Parse(argc, argv, platform::ExecutablePath());
    if (info.HasSwitch("-help") || info.HasSwitch("help") || info.HasSwitch("?") ||
        info.HasSwitch("h")) {
        out << kHelp;
        return 0;
    }
    if (info.HasSwitch("-version")) {
        out << platform::VersionText("ravelin");
        return 0;
    }
    const FlagWord flags = ParseFlags(info.switches);
    if (!flags.IsAuto()) {
        if (window == nullptr) {
            err << "ravelin: the set-up window is not part of this build; run unattended with "
                   "/AUTO (see ravelin --help).\n";
            return 1;
        }
        if (!DisplayAvailable()) {
            err << "ravelin: the set-up window needs a display (DISPLAY, WAYLAND_DISPLAY or "
                   "QT_QPA_PLATFORM); without one, run unattended with /AUTO (see ravelin "
                   "--help).\n";
            return 1;
        }
        return window(info);
    }

    // The message list of an unattended run is the output stream.
    StreamMessageList list(out);
    MessageDocument document;
    document.SetView(&list);
    ScreenMessageQueue queue(&document, false);
    HeadlessPrompter prompter(&err);
    HeadlessStatusSink status;
    ErrorMessage errors(0, 0.0, &queue, !flags.IsAuto(), &prompter);
    ScreenMessage screen(&queue);
    LogScreenMessage log(0, 0.0, &queue);
    StatusMessage statusMessages(&status);
    int exitCode = 0;
    {
        ScopedProgramMessages installed(
            ProgramMessages{&errors, &log, &screen, &statusMessages, nullptr});
        SiteSetup setup(FoundPaths(info), info);
        setup.Run(ParseSiteText(info.ValueOf("SITE")));
        exitCode = errors.Count() > 0 ? 1 : 0;
    }
    queue.WaitUntilIdle(std::chrono::seconds(10));
    return exitCode;
}

}  // namespace tw::ravelin
