#pragma once
// The Ravelin program: reads its command line, settles the paths and sets up one site or all
// sites. Unattended runs (/AUTO) need no display; their messages go to the output stream.

#include <ostream>

namespace tw::ravelin {

// Runs Ravelin; returns the process exit code: 0, or 1 when an error was reported (or the
// run needs the set-up window, which this build does not have).
int RunRavelin(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tw::ravelin
