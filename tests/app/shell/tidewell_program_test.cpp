// The tidewell program run as a process over a simulated POS, as a scheduler runs it.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "platform/named_lock.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

class TidewellProgram : public ::testing::Test {
protected:
    TidewellProgram() {
        // A POS with one day of sales, and site 5 set up the way an installation does it.
        EXPECT_TRUE(Run({POSSIM_PROGRAM, "export-dir", "--out", dir.File("pos/export"), "--seed",
                         "3", "--events", "120"})
                        .Succeeded());
        fs::create_directories(dir.File("pos/import"));
        fs::create_directories(dir.File("home"));
        EXPECT_TRUE(Run({PASS_PROGRAM, "history", dir.File("home/POLHISTD.STA")}).Succeeded());
        dir.Write("home/SETUP.STA",
                  "SalesPath=" + dir.File("pos/export") +
                      "/\r\nImportDestinationPath=" + dir.File("pos/import") +
                      "/\r\nSendItems=TRUE\r\nReceiveSales=FALSE\r\n7Z=FALSE\r\n");
        EXPECT_TRUE(Run({RAVELIN_PROGRAM, dir.File("home") + "/", "/AUTO", "/SITE=5"}).Succeeded());
        setupText = test::ReadAll(dir.File("home/005/SETUP.005"));
    }

    platform::ProcessOutcome Run(std::vector<std::string> argv) { return launcher.Run(argv, {}); }
    platform::ProcessOutcome Tidewell(std::vector<std::string> args) {
        args.insert(args.begin(), TIDEWELL_PROGRAM);
        return Run(args);
    }
    std::vector<std::string> Log(int site = 5) {
        char name[32];
        std::snprintf(name, sizeof name, "home/%03d/POLL.LOG", site);
        return platform::ReadLines(dir.File(name)).value_or(std::vector<std::string>{});
    }
    int Count(const std::vector<std::string>& lines, const std::string& text) {
        int n = 0;
        for (const auto& line : lines) n += line.find(text) != std::string::npos;
        return n;
    }

    test::ScratchDir dir;
    test::ScopedEnv home{"TIDEWELL_HOME", dir.File("home")};
    test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    // As a scheduler starts it: no display at all, so no window.
    test::ScopedEnv noX{"DISPLAY", std::nullopt};
    test::ScopedEnv noWayland{"WAYLAND_DISPLAY", std::nullopt};
    test::ScopedEnv noQt{"QT_QPA_PLATFORM", std::nullopt};
    platform::PosixProcessLauncher launcher;
    std::string setupText;
};

TEST_F(TidewellProgram, GetSalesReceivesForThisRunOnlyAndExitsZero) {
    // The site says ReceiveSales=FALSE; /GETSALES turns it on (and sending off) for this run.
    dir.Write("home/005/MCT.XML", "<not sent/>");
    const auto outcome = Tidewell({"5", "/GETSALES"});
    EXPECT_TRUE(outcome.Succeeded()) << outcome.exitCode;
    const auto log = Log();
    EXPECT_EQ(Count(log, "Split to:"), 120);
    EXPECT_EQ(Count(log, "Transfered"), 0) << "nothing is sent in a sales-only run";
    EXPECT_TRUE(fs::exists(dir.File("home/005/MCT.XML")));
    EXPECT_EQ(test::ReadAll(dir.File("home/005/SETUP.005")), setupText)
        << "the run's own settings never reach the file";
    EXPECT_TRUE(fs::is_empty(dir.File("pos/export")));
    EXPECT_EQ(Count(log, "Exiting with result"), 0);
}

TEST_F(TidewellProgram, AReportedFailureEndsWithResultOne) {
    fs::remove(dir.File("home/005/POLHISTD.005"));  // the day history is missing
    const auto outcome = Tidewell({"5", "/GETSALES"});
    EXPECT_EQ(outcome.exitCode, 1);
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(32), "Exiting with result 1.");
}

TEST_F(TidewellProgram, AnotherPollerOnTheSiteLogsAndExitsZero) {
    platform::NamedLock other(platform::SiteLockName(dir.File("home/005") + "/"));
    ASSERT_TRUE(other.TryLock());
    const auto outcome = Tidewell({"5", "/AUTO"});
    EXPECT_TRUE(outcome.Succeeded());
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(32),
              "Site 5 is already being polled by another process, "
              "Cancelling polling. " +
                  dir.File("home/005") + "/");
    other.Unlock();

    // Two at once: whatever the timing, every event is filed exactly once.
    int error = 0;
    auto first = platform::ChildProcess::Start({TIDEWELL_PROGRAM, "5", "/GETSALES"}, "", &error);
    auto second = platform::ChildProcess::Start({TIDEWELL_PROGRAM, "5", "/GETSALES"}, "", &error);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->Wait(std::nullopt).Succeeded());
    EXPECT_TRUE(second->Wait(std::nullopt).Succeeded());
    EXPECT_EQ(Count(Log(), "Split to:"), 120);
}

TEST_F(TidewellProgram, SiteZeroIsSiteOneAndAMissingSiteIsSetUpByRavelinFirst) {
    fs::create_symlink(RAVELIN_PROGRAM, dir.File("home/ravelin"));
    dir.Write("home/SETUP.STA", "SalesPath=" + dir.File("pos/export") +
                                    "/\r\nImportDestinationPath=" + dir.File("pos/import") +
                                    "/\r\n7Z=FALSE\r\n");
    const auto outcome = Tidewell({"0", "/AUTO"});
    EXPECT_TRUE(outcome.Succeeded()) << outcome.exitCode;
    EXPECT_TRUE(fs::exists(dir.File("home/RAVELIN.001")));
    EXPECT_EQ(Count(Log(1), "Split to:"), 120) << "site 1 was set up unattended, then polled";
}

#ifdef QORCOM_LIBRARY
// A dial-up site: the POS is reached through pppd (a fake one on PATH) via libqorcom.so.
class TidewellDialUp : public TidewellProgram {
protected:
    TidewellDialUp() {
        EXPECT_TRUE(Run({QORREGSVR_PROGRAM, "-s", QORCOM_LIBRARY}).Succeeded());
        fs::create_directories(dir.File("run"));
        dir.Write("peers/Shop 12", "user pos\n");
        dir.Write("peers/Hung", "# fake: hold\n");
    }
    void SetUpSite(const std::string& entry) {
        dir.Write("home/SETUP.STA", "SalesPath=" + dir.File("pos/export") +
                                        "/\r\nImportDestinationPath=" + dir.File("pos/import") +
                                        "/\r\n7Z=FALSE\r\nUseRas=TRUE\r\nRasEntry=" + entry +
                                        "\r\n");
        ASSERT_TRUE(Run({RAVELIN_PROGRAM, dir.File("home") + "/", "/AUTO", "/SITE=1"}).Succeeded());
    }
    test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", QORCOM_PPPD_RAS};
    test::ScopedEnv peers{"QORCOM_PPP_PEERS_DIR", dir.File("peers")};
    test::ScopedEnv run{"QORCOM_PPP_RUN_DIR", dir.File("run")};
    test::ScopedEnv pppdLog{"FAKE_PPPD_LOG", dir.File("pppd.log")};
    test::ScopedEnv path{"PATH", std::string(FAKE_PPPD_DIR) + ":" + std::getenv("PATH")};
};

TEST_F(TidewellDialUp, AutoDialsThroughPppdPollsAndHangsUp) {
    SetUpSite("Shop 12");
    const auto outcome = Tidewell({"1", "/AUTO"});
    EXPECT_TRUE(outcome.Succeeded()) << outcome.exitCode;
    EXPECT_EQ(Count(Log(1), "Split to:"), 120);
    EXPECT_EQ(Count({test::ReadAll(dir.File("pppd.log"))}, "linkname Shop 12"), 1);
    EXPECT_TRUE(fs::is_empty(dir.File("run"))) << "the link this run dialled was hung up";
}

TEST_F(TidewellDialUp, AHungDialEndsAtItsLimitWithResultOne) {
    SetUpSite("Hung");
    test::ScopedEnv limit{"QORCOM_RAS_DIAL_LIMIT", "1"};
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = Tidewell({"1", "/AUTO"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(outcome.exitCode, 1);
    const auto log = Log(1);
    EXPECT_EQ(
        Count(log, "The connection was not made within the time limit; the call was hung up."), 1);
    EXPECT_EQ(Count(log, "Split to:"), 0);
    EXPECT_TRUE(fs::is_empty(dir.File("run")));
}
#endif

TEST_F(TidewellProgram, HelpAndInteractiveRuns) {
    EXPECT_TRUE(Tidewell({"--help"}).Succeeded());
    EXPECT_EQ(Tidewell({"5"}).exitCode, 1) << "no display for the window";
}

}  // namespace
}  // namespace tw
