#pragma once
// The Ravelin program: reads its command line, settles the paths and sets up one site or all
// sites. Unattended runs (/AUTO) need no display; their messages go to the output stream.
// Interactive runs hand over to the set-up window when the program was built with one and a
// display is present.

#include <ostream>

#include "app/command_line.h"
#include "ravelin/site_setup.h"

namespace tw::ravelin {

// The interactive run (the options dialog, the set-up, the message window); returns the exit
// code. Called on the main thread with no program-wide messages installed.
using WindowRun = int (*)(const CMainInfo& commandLine);

// Runs Ravelin; returns the process exit code: 0, or 1 when an error was reported, or when an
// interactive run cannot open its window (no window in this build, or no display).
int RunRavelin(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               WindowRun window = nullptr);

// The paths a run starts from: the program directory (the first parameter that does not
// begin with a digit, else $TIDEWELL_HOME, else the program's own directory) made absolute,
// the site root the same, the back-office path of TAMBORPATH (else the program directory),
// the error log path the program directory, no shared error log.
SetupPaths FoundPaths(const CMainInfo& commandLine);

// Whether a window can be shown: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool DisplayAvailable();

}  // namespace tw::ravelin
