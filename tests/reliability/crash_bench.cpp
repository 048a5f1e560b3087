// crash_bench: the long run of the crash-consistency campaign (bench/crash). Kills passes of
// tidewell-pass at random instants over a day of sales, with the POS's files deleted after
// receipt and kept there, and prints what the sales path lost, doubled or left behind.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "crash_campaign.h"

namespace {

namespace fs = std::filesystem;
using namespace tw::reliability;

constexpr const char* kHelp =
    R"(crash_bench - passes of the poller killed at random, and what they lost

Usage: crash_bench [--kills N] [--kills-per-round N] [--periods N] [--events N] [--hours H]
                   [--start T] [--registers R] [--seed S] [--setting delete|keep|both]
                   [--quiet] [--progress] [--details] [--work DIR]

For each setting (POS files deleted after receipt, kept on the POS): an undisturbed pass over
a copy of the export measures T; then rounds of a fresh POS export and data directory, in
which --kills-per-round passes (default 2: a whole pass, then one taking up its work) are
killed after a delay drawn from [0, T] (below the length of a pass that ended before its
kill, when one did), passes then run until the site settles, and the data directory is
checked. --kills (default 100) kills in all, per setting. The export is --periods (4)
periods of --hours (6) hours from --start (2026-03-05T18:00), each a journal of --events
(800) events and five movement reports.
Passes run without --quiet unless asked, so that the last line tells where a kill fell.
--details prints what was wrong in every failing round, not only the first.

Exit status: 0 the guarantee held everywhere, 1 it did not, 2 usage error.
)";

struct BenchOptions {
    int kills = 100;
    int killsPerRound = 2;
    PosLayout layout{4, 800, "2026-03-05T18:00", 6, 3, 1};
    std::uint64_t seed = 1;
    std::string setting = "both";
    bool quiet = false;
    bool progress = false;
    bool details = false;
    std::string work;
};

bool Parse(int argc, char** argv, BenchOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg == "--progress") {
            options.progress = true;
            continue;
        }
        if (arg == "--details") {
            options.details = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--kills") {
            options.kills = std::atoi(value.c_str());
        } else if (arg == "--kills-per-round") {
            options.killsPerRound = std::atoi(value.c_str());
        } else if (arg == "--periods") {
            options.layout.periods = std::atoi(value.c_str());
        } else if (arg == "--events") {
            options.layout.events = std::atoi(value.c_str());
        } else if (arg == "--hours") {
            options.layout.hours = std::atoi(value.c_str());
        } else if (arg == "--start") {
            options.layout.start = value;
        } else if (arg == "--registers") {
            options.layout.registers = std::atoi(value.c_str());
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
            options.layout.seed = options.seed;
        } else if (arg == "--setting") {
            options.setting = value;
        } else if (arg == "--work") {
            options.work = value;
        } else {
            return false;
        }
    }
    return options.kills > 0 && options.killsPerRound > 0 &&
           (options.setting == "delete" || options.setting == "keep" || options.setting == "both");
}

// Sums of the verdicts of all rounds.
struct Totals {
    std::size_t expected = 0, filedOnce = 0, lost = 0, lostJournalKept = 0, duplicated = 0,
                unexpected = 0, unreadable = 0, misplaced = 0, rawFiles = 0, receivedListed = 0,
                tempFiles = 0, badArchives = 0, badHistories = 0, movementMissing = 0, rejected = 0;
    int roundsLosing = 0, roundsHolding = 0, roundsSettled = 0;
    std::map<std::string, int> finalStatuses;

    void Add(const RoundOutcome& round) {
        const SalesPathVerdict& v = round.verdict;
        expected += v.eventsExpected;
        filedOnce += v.eventsFiledOnce;
        lost += v.eventsLost;
        lostJournalKept += v.eventsLostJournalKept;
        duplicated += v.eventsDuplicated;
        unexpected += v.eventsUnexpected;
        unreadable += v.unreadable;
        misplaced += v.misplaced;
        rawFiles += v.rawFilesLeft;
        receivedListed += v.receivedListed;
        tempFiles += v.tempFiles;
        badArchives += v.badArchives;
        badHistories += v.badHistories;
        movementMissing += v.movementReportsMissing;
        rejected += v.rejectedFiles;
        roundsLosing += v.eventsLost > 0;
        roundsHolding += round.Holds();
        roundsSettled += round.settling.settled;
        ++finalStatuses[round.settling.passes.empty() ? "no pass"
                                                      : round.settling.passes.back().Describe()];
    }
};

bool RunSetting(const BenchOptions& bench, bool keep, const std::string& work) {
    CampaignOptions options;
    options.programs = BuiltPrograms();
    options.workDirectory = work;
    options.layout = bench.layout;
    options.pass.keepPosFiles = keep;
    options.pass.quiet = bench.quiet;
    options.seed = bench.seed;
    options.killsPerRound = bench.killsPerRound;
    options.rounds = (bench.kills + bench.killsPerRound - 1) / bench.killsPerRound;
    if (bench.progress)
        options.progress = [](const std::string& line) { std::printf("  ... %s\n", line.c_str()); };

    std::printf("\n== POS files %s (DeletePOSSourceFile %s)\n",
                keep ? "kept on the POS" : "deleted after receipt", keep ? "off" : "on");
    std::fflush(stdout);
    const CampaignOutcome outcome = RunCrashCampaign(options);
    if (!outcome.error.empty()) {
        std::printf("could not run: %s\n", outcome.error.c_str());
        return false;
    }
    std::printf("undisturbed pass: %s, T = %.3f s, guarantee %s\n",
                outcome.undisturbed.Describe().c_str(), outcome.passSeconds,
                outcome.undisturbedVerdict.Holds() ? "holds"
                                                   : outcome.undisturbedVerdict.Details().c_str());
    Totals totals;
    int started = 0;
    for (const auto& round : outcome.rounds) {
        totals.Add(round);
        started += static_cast<int>(round.kills.size());
    }
    const std::size_t rounds = outcome.rounds.size();
    std::printf(
        "kill points:          %d passes killed in %zu rounds (%d more ended before "
        "their kill)\n",
        outcome.Kills(), rounds, started - outcome.Kills());
    std::printf("kills per phase:     ");
    for (const auto& [phase, count] : outcome.KillsByPhase())
        std::printf(" %s %d;", phase.c_str(), count);
    std::printf("\n");
    std::printf("events expected:      %zu (%zu per round)\n", totals.expected,
                rounds ? totals.expected / rounds : 0);
    std::printf("events filed once:    %zu\n", totals.filedOnce);
    std::printf(
        "events lost:          %zu (in %d of %zu rounds; %zu with their journal "
        "still whole in the data directory)\n",
        totals.lost, totals.roundsLosing, rounds, totals.lostJournalKept);
    std::printf("events duplicated:    %zu\n", totals.duplicated);
    std::printf("events unexpected, unreadable, misplaced: %zu, %zu, %zu\n", totals.unexpected,
                totals.unreadable, totals.misplaced);
    std::printf("left unfiled:         %zu raw received files, %zu RECEIVED entries\n",
                totals.rawFiles, totals.receivedListed);
    std::printf("temp files left:      %zu\n", totals.tempFiles);
    std::printf(
        "movement reports missing: %zu; REJECTED files: %zu; archives failing unzip -t: "
        "%zu; bad history files: %zu\n",
        totals.movementMissing, totals.rejected, totals.badArchives, totals.badHistories);
    std::printf("final passes:        ");
    for (const auto& [status, count] : totals.finalStatuses)
        std::printf(" %s in %d rounds;", status.c_str(), count);
    std::printf(" settled in %d of %zu rounds\n", totals.roundsSettled, rounds);
    std::printf("passes hung or died on their own: %d\n", outcome.FailedPasses());
    std::printf("guarantee held in %d of %zu rounds\n", totals.roundsHolding, rounds);
    for (std::size_t i = 0; i < rounds; ++i) {
        const RoundOutcome& round = outcome.rounds[i];
        if (round.Holds())
            continue;
        std::printf("%s failing round (%zu):", bench.details ? "a" : "first", i + 1);
        for (const auto& kill : round.kills) std::printf("\n  %s", kill.Describe().c_str());
        std::printf("\n  %s\n  %s\n", round.settling.Describe().c_str(),
                    round.verdict.Details().c_str());
        if (!bench.details)
            break;
    }
    std::printf("replay: %s\n", outcome.Replay(options.seed).c_str());
    std::fflush(stdout);
    return outcome.Holds();
}

extern "C" void OnInterrupt(int) {
    InterruptPrograms();
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions bench;
    if (argc > 1 && std::string(argv[1]) == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!Parse(argc, argv, bench)) {
        std::fputs("crash_bench: bad arguments; try --help\n", stderr);
        return 2;
    }
    const Programs programs = BuiltPrograms();
    if (programs.tidewellPass.empty() || programs.possim.empty()) {
        std::fputs("crash_bench: tidewell-pass or possim is not built\n", stderr);
        return 2;
    }
    // Interrupted, the pass running is ended and the work directory removed.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::string work = bench.work;
    const bool ownWork = work.empty();
    if (ownWork) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/crash-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("crash_bench: mkdtemp");
            return 2;
        }
        work = pattern;
    }
    std::printf(
        "crash_bench: %d kill points per setting, %d per round; %d periods of %d events "
        "(%d events), seed %llu\n",
        bench.kills, bench.killsPerRound, bench.layout.periods, bench.layout.events,
        bench.layout.periods * bench.layout.events, static_cast<unsigned long long>(bench.seed));
    bool held = true;
    for (const bool keep : {false, true}) {
        if ((keep && bench.setting == "delete") || (!keep && bench.setting == "keep"))
            continue;
        held = RunSetting(bench, keep, work + (keep ? "/keep" : "/delete")) && held;
        if (ProgramsInterrupted())
            break;
    }
    std::error_code ignored;
    if (ownWork)
        fs::remove_all(work, ignored);
    if (ProgramsInterrupted())
        return 130;
    return held ? 0 : 1;
}
