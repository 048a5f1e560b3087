#pragma once
// The crash-consistency campaign: passes of tidewell-pass killed with SIGKILL at random
// instants over one POS export, then passes left to finish, then the sales path's guarantee
// checked on the data directory (sales_path_check.h).
//
// First an undisturbed pass over a copy measures T, the length of a whole pass, and proves the
// oracle on a pass nobody disturbed. Then, for each round, a fresh copy of the POS export and
// a fresh data directory: killsPerRound passes, each killed after a delay drawn from [0, T]
// (so kills fall in the fetch, the split, the filing and the archiving), then passes without
// kills until the site settles, then the check. A pass that ends before its kill had less
// work than T: the next delay is drawn below its length, at most three tries per kill, so
// that the passes that take up interrupted work are killed too. Delays come from the seed,
// or from a list given to replay a failure.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "pass_output.h"
#include "sales_path_check.h"
#include "sales_site.h"

namespace tw::reliability {

struct CampaignOptions {
    Programs programs;
    std::string workDirectory;  // owned by the caller; the campaign fills and empties it
    PosLayout layout;
    PassSettings pass;
    int rounds = 1;
    int killsPerRound = 5;   // passes killed per round
    std::uint64_t seed = 1;  // kill delays (the POS export has its own, layout.seed)
    // Delays in seconds used in order before any is drawn: a failure's delays, replayed.
    std::vector<double> delays;
    int maxSettlePasses = 6;
    // Told about every pass as it ends, for a long run's progress (may be empty).
    std::function<void(const std::string&)> progress;
};

// One pass started to be killed: killed, or ended before its delay.
struct KillPoint {
    double delaySeconds = 0;
    ProgramEnding ending;
    PassPhase phase = PassPhase::StartUp;  // where the pass was when killed
    bool Killed() const { return ending.how == ProgramEnding::How::Killed; }
    // "delay 0.412345 s: killed at 0.420 s in the split"
    std::string Describe() const;
};

struct RoundOutcome {
    std::vector<KillPoint> kills;
    SettleOutcome settling;
    SalesPathVerdict verdict;
    bool Holds() const {
        return verdict.Holds() && settling.settled && settling.FinalPassSucceeded();
    }
};

struct CampaignOutcome {
    std::string error;  // the campaign could not run (no POS export, no program, ...)
    PosExport exported;
    ProgramEnding undisturbed;
    SalesPathVerdict undisturbedVerdict;
    double passSeconds = 0;  // T
    std::vector<RoundOutcome> rounds;

    bool Holds() const;
    // Passes that hung or died on their own (not killed by the harness).
    int FailedPasses() const;
    // Passes killed, over all rounds.
    int Kills() const;
    // Kills by the phase the pass was in; passes that ended before their kill count under
    // "ended before the kill".
    std::map<std::string, int> KillsByPhase() const;
    // The seed and every delay, to replay the campaign.
    std::string Replay(std::uint64_t seed) const;
};

CampaignOutcome RunCrashCampaign(const CampaignOptions& options);

}  // namespace tw::reliability
