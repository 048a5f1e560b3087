#pragma once
// Where a pass was, guessed from what it printed. tidewell-pass prints one line per report,
// "channel  text"; the text says which step made it. The guess serves the figures (kills per
// phase, the step a full disk stopped): the guarantee itself is checked on the files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::reliability {

enum class PassPhase {
    StartUp,    // nothing printed yet: settings read, site set up
    Fetch,      // copying the POS's files into the data directory
    Split,      // sorting out the received files, splitting journals into event files
    Filing,     // tying files to history sequences, slot files
    Archiving,  // day folders into day archives
    Finished,   // the summary line: the pass has done its work
};

const char* PhaseName(PassPhase phase);

// The phase once `line` has been printed by a pass that was in `before`.
PassPhase PhaseAfterLine(std::string_view line, PassPhase before);
// The phase after the last of the lines.
PassPhase PhaseAfterLines(const std::vector<std::string>& lines);

// Whether a line reports that something failed (an error report, or a log line telling of a
// failed step).
bool ReportsFailure(std::string_view line);

struct FirstFailure {
    std::string line;
    PassPhase phase;  // the step it happened in
};
// The first line that reports a failure, with the step it belongs to.
std::optional<FirstFailure> FindFirstFailure(const std::vector<std::string>& lines);

}  // namespace tw::reliability
