#pragma once
// The full-disk sweep: the data directory on a small tmpfs that the sweep mounts itself, the
// POS directory on the normal disk.
//
// An undisturbed pass on a large tmpfs measures the space a pass needs (its peak, sampled
// while it runs). Then, on one fixed tmpfs, for each fraction: a fresh data directory, a
// filler file that leaves only that fraction of the need free, one pass (it must exit 1
// whenever it left work undone), the filler removed, passes until the site settles, and the
// sales path's guarantee checked (sales_path_check.h). The fractions are chosen so that the
// disk fills during the fetch, the split and the archiving; which step failed is read from
// what the pass printed.
//
// Mounting needs root (CI runs as root): without it the outcome says why it skipped. Every
// mount is undone before RunFullDiskSweep returns, whatever happened.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pass_output.h"
#include "sales_path_check.h"
#include "sales_site.h"

namespace tw::reliability {

struct FullDiskOptions {
    Programs programs;
    std::string workDirectory;  // on the normal disk, owned by the caller
    PosLayout layout;
    PassSettings pass;
    // The last few percent are the archiving's: the split's event files come close to the peak.
    std::vector<double> fractions{0.05, 0.15, 0.25, 0.35, 0.45, 0.55,
                                  0.65, 0.75, 0.85, 0.95, 0.97, 0.99};
    // Tried in turn, after the fractions, only while no pass has failed during the archiving
    // (the measured need may fall short of the real peak).
    std::vector<double> fractionsAboveNeed{1.01, 1.03, 1.06, 1.1, 1.15, 1.2, 1.3, 1.5};
    int maxSettlePasses = 6;
};

struct SweepPoint {
    double fraction = 0;
    std::uintmax_t freeBytes = 0;  // free on the tmpfs when the pass began
    ProgramEnding ending;          // the pass on the full disk
    std::optional<FirstFailure> failure;
    std::optional<PassPhase> failedIn;  // the step that failed, when the pass said so
    SalesPathVerdict afterFullPass;     // checked right after that pass
    SettleOutcome settling;             // once the filler is gone
    SalesPathVerdict verdict;

    // Exit 0 while work was left undone: a failure reported as success.
    bool ClaimedSuccessFalsely() const { return ending.Exited(0) && !afterFullPass.Holds(); }
    bool Holds() const {
        return !ClaimedSuccessFalsely() && settling.settled && settling.FinalPassSucceeded() &&
               verdict.Holds() && ending.how == ProgramEnding::How::Exited;
    }
    // One line: the room, how the pass ended and where it failed.
    std::string Headline() const;
    // The headline, what was wrong after the pass, and how settling went.
    std::string Describe() const;
};

struct FullDiskOutcome {
    std::string skipped;  // why no tmpfs could be mounted
    std::string error;    // the sweep could not run
    std::uintmax_t neededBytes = 0;
    ProgramEnding measured;  // the undisturbed pass
    SalesPathVerdict measuredVerdict;
    std::vector<SweepPoint> points;

    std::set<PassPhase> FailedPhases() const;
};

FullDiskOutcome RunFullDiskSweep(const FullDiskOptions& options);

}  // namespace tw::reliability
