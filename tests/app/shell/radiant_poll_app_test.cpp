#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/shell/headless_front_end.h"
#include "app/shell/radiant_poll_app.h"
#include "platform/text_file.h"
#include "settings/radiant_setup.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

// A pass that records the settings it ran with, and can report a failure.
class RecordingPass : public Monitor::WaitOverHandler {
public:
    RecordingPass(RadiantSetup& setup, bool fail, std::vector<std::string>* seen)
        : setup_(setup), fail_(fail), seen_(seen) {}
    bool Initialise() override { return true; }
    bool Process() override {
        seen_->push_back(std::string("send=") + (setup_.sendItems ? "1" : "0") +
                         " receive=" + (setup_.receiveSales ? "1" : "0"));
        if (fail_)
            FormatMessageTo(errorMessages(), "Unable copy %s", "x");
        return !fail_;
    }
    bool Finish() override { return true; }
    void SetStopRequested(int) override {}

private:
    RadiantSetup& setup_;
    bool fail_;
    std::vector<std::string>* seen_;
};

class AppTest : public ::testing::Test {
protected:
    AppTest() {
        for (int site : {1, 5}) {
            const std::string n = site == 1 ? "001" : "005";
            home.Write("RAVELIN." + n, home.File(n) + "\n" + home.File("back") + "\n" +
                                           home.File(n) + "\n" + home.File("back") + "\n");
            home.Write(n + "/SETUP." + n,
                       "SalesPath=/pos/export/\r\nImportDestinationPath=/pos/import/\r\n"
                       "SendItems=TRUE\r\nReceiveSales=FALSE\r\n");
        }
    }

    MonitorFactory Factory(bool fail = false) {
        return [this, fail](UiBridge& notify, RadiantSetup& setup) {
            auto waiter = CountedPtr<Monitor::SingleWaiter>(new PollerWaiter(
                &notify,
                CountedPtr<Monitor::WaitHandler>(new Monitor::WaitTimeoutHandler(30000, true)),
                CountedPtr<Monitor::WaitOverHandler>(new RecordingPass(setup, fail, &passes))));
            waiter->SetSinglePass(true);
            return waiter;
        };
    }

    int Run(std::vector<const char*> args, bool fail = false) {
        args.insert(args.begin(), "/usr/bin/tidewell");
        HeadlessFrontEnd frontEnd(out, err);
        CRadiantPollApp app(frontEnd, Factory(fail));
        return RunAutomatic(app, frontEnd, static_cast<int>(args.size()), args.data(), err,
                            "/usr/bin/tidewell");
    }

    std::vector<std::string> PollLog(const std::string& site) {
        return platform::ReadLines(home.File(site + "/POLL.LOG"))
            .value_or(std::vector<std::string>{});
    }

    test::ScratchDir home;
    test::ScopedEnv homeEnv{"TIDEWELL_HOME", home.Path()};
    test::ScratchDir locks;
    test::ScopedEnv lockEnv{"TIDEWELL_LOCK_DIR", locks.Path()};
    std::ostringstream out, err;
    std::vector<std::string> passes;
};

TEST_F(AppTest, GetSalesRunPollsOnceWithTheRunsOwnSettingsAndExitsZero) {
    const std::string setupBefore = test::ReadAll(home.File("005/SETUP.005"));
    EXPECT_EQ(Run({"5", "/GETSALES"}), 0) << out.str();
    EXPECT_EQ(passes, std::vector<std::string>{"send=0 receive=1"});
    EXPECT_EQ(test::ReadAll(home.File("005/SETUP.005")), setupBefore);
    const auto log = PollLog("005");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Site # Date       Time          Message");
    EXPECT_NE(out.str().find("Starting monitoring of /pos/export/."), std::string::npos);
    const auto version = platform::ReadLines(home.File("005/VersionPoller.005"));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->back().substr(32), "Tidewell 1.1.1.9");
}

TEST_F(AppTest, AReportedFailureGivesExitCodeOneAndTheExitLine) {
    EXPECT_EQ(Run({"5", "/AUTO"}, true), 1);
    const auto log = PollLog("005");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(32), "Exiting with result 1.");
    EXPECT_EQ(passes, std::vector<std::string>{"send=1 receive=0"});
}

TEST_F(AppTest, SiteZeroOrNoneMeansSiteOne) {
    EXPECT_EQ(Run({"0", "/AUTO"}), 0);
    EXPECT_EQ(passes.size(), 1u);
    EXPECT_FALSE(PollLog("001").empty());
}

TEST_F(AppTest, ASiteAlreadyPolledElsewhereEndsTheRunAtOnceWithZero) {
    platform::NamedLock other(platform::SiteLockName(home.File("005") + "/"));
    ASSERT_TRUE(other.TryLock());
    EXPECT_EQ(Run({"5", "/AUTO"}), 0);
    EXPECT_TRUE(passes.empty());
    const auto log = PollLog("005");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(32),
              "Site 5 is already being polled by another process, "
              "Cancelling polling. " +
                  home.File("005") + "/");
    other.Unlock();
}

// Polling without the site lock would let two pollers file one site's sales at once.
TEST_F(AppTest, ASiteLockThatCannotBeMadeFailsTheRunInsteadOfPollingUnlocked) {
    test::ScopedEnv unusable("TIDEWELL_LOCK_DIR", locks.File("no/such/dir"));
    EXPECT_EQ(Run({"5", "/AUTO"}), 1);
    EXPECT_TRUE(passes.empty());
    EXPECT_NE(out.str().find("CreateMutex failed"), std::string::npos) << out.str();
    const auto log = PollLog("005");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(32), "Exiting with result 1.");
}

TEST_F(AppTest, RunsThatCannotStartEndAtOnceWithTheExitRule) {
    home.Write("005/SETUP.005", "SalesPath=\r\n");
    EXPECT_EQ(Run({"5", "/AUTO"}), 1);
    EXPECT_NE(out.str().find("Make sure the sales path and import destination are filled in."),
              std::string::npos);
    EXPECT_EQ(Run({"5"}), 1) << "an interactive run needs the window";
    EXPECT_NE(err.str().find("not part of this build"), std::string::npos);
}

TEST_F(AppTest, TheSiteIsTheIntegerValueOfTheFirstParameter) {
    // Leading blanks and a sign belong to the number, as a scheduler's command line may carry
    // them; anything that is no number at all still means site 1.
    for (const char* site : {" 5", "+5", "  +5"}) {
        passes.clear();
        EXPECT_EQ(Run({site, "/AUTO"}), 0) << site;
        EXPECT_EQ(passes.size(), 1u) << site;
    }
    EXPECT_FALSE(PollLog("005").empty());
    EXPECT_TRUE(PollLog("001").empty()) << "site 1 is not polled in its place";
}

TEST_F(AppTest, ANegativeSiteOpensNothingAndFails) {
    EXPECT_EQ(Run({" -3", "/AUTO"}), 1);
    EXPECT_TRUE(passes.empty());
    EXPECT_NE(out.str().find("Cannot open site."), std::string::npos);
    EXPECT_TRUE(PollLog("001").empty()) << "site 1 is not polled in its place";
}

TEST_F(AppTest, LogsCopiedFromWindowsAreFoundIgnoringCase) {
    home.Write("005/poll.log", "Site # Date       Time          Message\nold\n");
    home.Write("005/versionpoller.005", "");
    home.Write("005/Versionpos.005", "");
    EXPECT_EQ(Run({"5", "/AUTO"}, true), 1);
    EXPECT_FALSE(std::filesystem::exists(home.File("005/POLL.LOG")));
    EXPECT_FALSE(std::filesystem::exists(home.File("005/VersionPoller.005")));
    const auto log = platform::ReadLines(home.File("005/poll.log"));
    ASSERT_TRUE(log);
    EXPECT_EQ(log->back().substr(32), "Exiting with result 1.");
    const auto version = platform::ReadLines(home.File("005/versionpoller.005"));
    ASSERT_TRUE(version && !version->empty());
    EXPECT_EQ(version->back().substr(32), "Tidewell 1.1.1.9");
}

#ifdef RAVELIN_PROGRAM
TEST_F(AppTest, ASiteWithoutItsFileIsSetUpByRavelinUnattendedThenPolled) {
    ASSERT_EQ(::symlink(RAVELIN_PROGRAM, home.File("ravelin").c_str()), 0);
    home.Write("SETUP.STA", "SalesPath=/pos/export/\r\nImportDestinationPath=/pos/import/\r\n");
    EXPECT_EQ(Run({"2", "/AUTO"}), 0) << out.str();
    EXPECT_EQ(passes.size(), 1u);
    EXPECT_EQ(test::ReadAll(home.File("RAVELIN.002")).substr(0, home.Path().size() + 5),
              home.File("002") + "\n");
}
#endif

TEST_F(AppTest, SiteChoicesAndPurgePending) {
    HeadlessFrontEnd frontEnd(out, err);
    CRadiantPollApp app(frontEnd, Factory());
    const char* args[] = {"/usr/bin/tidewell", "5"};
    ASSERT_TRUE(app.InitInstance(2, args, "/usr/bin/tidewell"));
    EXPECT_EQ(app.SiteNumber(), 5);
    EXPECT_EQ(frontEnd.TitleText(), "Site 5");
    auto sites = app.SiteChoices();
    std::sort(sites.begin(), sites.end());
    EXPECT_EQ(sites, (std::vector<int>{1, 5}));
    home.Write("005/MCT.XML", "<x/>");
    EXPECT_FALSE(app.PurgePending(40047)) << "the headless prompter answers No";
    EXPECT_EQ(test::ReadAll(home.File("005/MCT.XML")), "<x/>");
    EXPECT_EQ(app.ExitInstance(), 0);
}

}  // namespace
}  // namespace tw
