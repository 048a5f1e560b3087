#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "crash_campaign.h"
#include "support/scratch_dir.h"

namespace tw::reliability {
namespace {

using ::testing::IsEmpty;

constexpr std::uint64_t kDefaultSeed = 20260305;

// TW_CRASH_SEED replays a campaign; TW_CRASH_DELAYS (seconds, comma-separated) its kills.
std::uint64_t SeedFromEnvironment() {
    const char* text = std::getenv("TW_CRASH_SEED");
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : kDefaultSeed;
}

std::vector<double> DelaysFromEnvironment() {
    std::vector<double> delays;
    const char* text = std::getenv("TW_CRASH_DELAYS");
    std::istringstream list(text != nullptr ? text : "");
    std::string item;
    while (std::getline(list, item, ',')) {
        if (!item.empty())
            delays.push_back(std::strtod(item.c_str(), nullptr));
    }
    return delays;
}

std::string Kills(const RoundOutcome& round) {
    std::string text;
    for (const auto& kill : round.kills) text += "\n  " + kill.Describe();
    return text;
}

// Passes killed with SIGKILL at random instants of a pass over three journals and fifteen
// movement reports whose periods cross midnight, with the POS's files deleted after receipt
// or kept there; passes run afterwards must finish the work, and no sale may be lost, doubled
// or left unfiled.
class CrashConsistency : public ::testing::TestWithParam<bool> {};

TEST_P(CrashConsistency, KilledPassesLoseNothingAndLaterPassesFinishTheirWork) {
    CampaignOptions options;
    options.programs = BuiltPrograms();
    if (options.programs.tidewellPass.empty() || options.programs.possim.empty())
        GTEST_SKIP() << "tidewell-pass or possim is not built";
    test::ScratchDir scratch;
    options.workDirectory = scratch.Path();
    options.seed = SeedFromEnvironment();
    options.delays = DelaysFromEnvironment();
    options.layout.periods = 3;
    options.layout.events = 400;
    options.layout.start = "2026-03-05T18:00";
    options.layout.hours = 6;
    options.layout.registers = 3;
    options.layout.seed = options.seed;
    options.pass.keepPosFiles = GetParam();
    options.rounds = 5;
    options.killsPerRound = 2;

    const CampaignOutcome outcome = RunCrashCampaign(options);
    ASSERT_EQ(outcome.error, "");
    ASSERT_THAT(outcome.exported.problems, IsEmpty());
    ASSERT_TRUE(outcome.undisturbed.Exited(0) && outcome.undisturbedVerdict.Holds())
        << "an undisturbed pass must keep the guarantee, else the harness is wrong: "
        << outcome.undisturbed.Describe() << "; " << outcome.undisturbedVerdict.Details();

    const std::string replay = outcome.Replay(options.seed);
    for (std::size_t i = 0; i < outcome.rounds.size(); ++i) {
        const RoundOutcome& round = outcome.rounds[i];
        std::printf("round %zu: %s\n", i + 1, round.verdict.Summary().c_str());
        EXPECT_TRUE(round.Holds()) << "round " << i + 1 << Kills(round) << "\n"
                                   << round.settling.Describe() << "\n"
                                   << round.verdict.Details() << "\n"
                                   << replay;
    }
    EXPECT_EQ(outcome.FailedPasses(), 0) << "passes that hung or died on their own; " << replay;
}

INSTANTIATE_TEST_SUITE_P(PosFiles, CrashConsistency, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "KeptOnThePos" : "DeletedAfterReceipt";
                         });

}  // namespace
}  // namespace tw::reliability
