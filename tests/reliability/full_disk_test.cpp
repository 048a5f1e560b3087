#include <gtest/gtest.h>

#include <cstdio>

#include "full_disk_sweep.h"
#include "support/scratch_dir.h"

namespace tw::reliability {
namespace {

// A pass whose data directory fills up during the fetch, the split or the archiving says so
// with exit status 1 unless its work was done, and once there is room again the next passes
// finish that work without losing or doubling a sale.
TEST(FullDisk, APassOnAFullDiskSaysSoAndLaterPassesFinishItsWork) {
    FullDiskOptions options;
    options.programs = BuiltPrograms();
    if (options.programs.tidewellPass.empty() || options.programs.possim.empty())
        GTEST_SKIP() << "tidewell-pass or possim is not built";
    test::ScratchDir scratch;
    options.workDirectory = scratch.Path();
    options.layout.periods = 2;
    options.layout.events = 300;
    options.layout.start = "2026-03-05T18:00";
    options.layout.hours = 6;

    const FullDiskOutcome outcome = RunFullDiskSweep(options);
    if (!outcome.skipped.empty())
        GTEST_SKIP() << "no tmpfs for the data directory: " << outcome.skipped;
    ASSERT_EQ(outcome.error, "");
    ASSERT_TRUE(outcome.measured.Exited(0) && outcome.measuredVerdict.Holds())
        << "an undisturbed pass must keep the guarantee, else the harness is wrong: "
        << outcome.measured.Describe() << "; " << outcome.measuredVerdict.Details();

    std::printf("an undisturbed pass needs %ju bytes\n", outcome.neededBytes);
    for (const SweepPoint& point : outcome.points) {
        std::printf("%s\n", point.Headline().c_str());
        EXPECT_TRUE(point.Holds()) << point.Describe();
    }
    const std::set<PassPhase> failed = outcome.FailedPhases();
    for (const PassPhase phase : {PassPhase::Fetch, PassPhase::Split, PassPhase::Archiving}) {
        EXPECT_TRUE(failed.count(phase) != 0)
            << "no size of the sweep filled the disk during the " << PhaseName(phase);
    }
}

}  // namespace
}  // namespace tw::reliability
