#include <filesystem>

#include <gtest/gtest.h>

#include "app/shell/run_metrics.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

TEST(PassTally, CountsTheProgressKindsOfAPassAndNothingElse) {
    PassTally tally;
    for (const char* text : {
             "Split to: /d/11/jrn1130/1130060000R01T1.xml",
             "Split to: /d/11/jrn1130/1130061500R01T2.xml",
             "Assigned /d/NAXML-POSJournal20261130220000.XML to /d/ITJ001.XML.",
             "NAXML Maintenance Results file: Assigned /d/ILG.XML to /d/ILG001.XML.",
             "Transfered /pos/import/MCT.XML.",
             "Processing /d/NAXML-POSJournal20261130220000.XML",
             "Removed: /d/NAXML-POSJournal20261130220000.XML",
             "  Split to: indented texts are someone else's",
         })
        tally.Observe(text);
    const PassTally::Counts counts = tally.Totals();
    EXPECT_EQ(counts.eventsSplit, 2);
    EXPECT_EQ(counts.filesReceived, 2);
    EXPECT_EQ(counts.filesSent, 1);
}

class RunMetricsFile : public ::testing::Test {
protected:
    test::ScratchDir dir;
    std::string path = dir.File("tidewell-3.prom");

    static RunMetrics Run(double startedAt, int exitCode, bool polled) {
        RunMetrics m;
        m.site = 3;
        m.startedAt = startedAt;
        m.durationSeconds = 1.25;
        m.exitCode = exitCode;
        m.polled = polled;
        m.errors = exitCode;
        return m;
    }
};

// The alert watches the last successful poll: a failed run, or one that found the site taken
// by another poller, must not erase it, and must not invent one either.
TEST_F(RunMetricsFile, ALastSuccessSurvivesLaterRunsThatDidNotSucceed) {
    ASSERT_TRUE(WriteRunMetrics(path, Run(1000, 1, true)));
    EXPECT_EQ(LastSuccessIn(test::ReadAll(path)), std::nullopt);

    ASSERT_TRUE(WriteRunMetrics(path, Run(2000, 0, true)));
    EXPECT_EQ(LastSuccessIn(test::ReadAll(path)), 2000.0);
    ASSERT_TRUE(WriteRunMetrics(path, Run(2300, 1, true)));
    ASSERT_TRUE(WriteRunMetrics(path, Run(2600, 0, false)));
    const std::string text = test::ReadAll(path);
    EXPECT_EQ(LastSuccessIn(text), 2000.0);
    EXPECT_NE(text.find("tidewell_last_run_timestamp_seconds{site=\"3\"} 2600\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("tidewell_last_run_polled{site=\"3\"} 0\n"), std::string::npos);
    EXPECT_NE(text.find("tidewell_last_run_duration_seconds{site=\"3\"} 1.250\n"),
              std::string::npos);

    // Only regular files are left: no temporary file beside the textfile.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "tidewell-3.prom");
    }
    EXPECT_EQ(files, 1);
}

TEST_F(RunMetricsFile, AnUnwritableFileIsReportedAndLastSuccessReadsOnlyItsOwnSample) {
    int error = 0;
    EXPECT_FALSE(WriteRunMetrics(dir.File("missing/dir/x.prom"), Run(1, 0, true), &error));
    EXPECT_EQ(error, ENOENT);

    EXPECT_EQ(LastSuccessIn("tidewell_last_success_timestamp_seconds_total{site=\"3\"} 5\n"
                            "tidewell_last_success_timestamp_seconds{site=\"3\"} oops\n"),
              std::nullopt);
    EXPECT_EQ(LastSuccessIn("# HELP x\ntidewell_last_success_timestamp_seconds{site=\"3\"} 7.5"),
              7.5);
}

}  // namespace
}  // namespace tw
