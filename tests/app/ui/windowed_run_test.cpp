// Tidewell's window over a simulated POS: an automatic run with the window ends as the headless
// run does, and a pass stopped from the window leaves the sales path sound.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell/commands.h"
#include "app/ui/main_frame.h"
#include "platform/process.h"
#include "platform/text_file.h"
#include "qt_test_support.h"
#include "radiant/poll_monitor.h"
#include "sales_site.h"
#include "settings/radiant_setup.h"
#include "settings/site_file.h"
#include "support/scratch_dir.h"
#include "tree_snapshot.h"

namespace tw::ui {
namespace {

namespace fs = std::filesystem;
using reliability::SalesPathVerdict;

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::QtApplicationEnvironment);

// Site 1 of a program directory `home`, its data (and log) directory home/001, polling a copy
// of a POS export; no maintenance to send, no external archiver.
struct PolledSite {
    PolledSite(const std::string& root, const std::string& posExport) : root(root) {
        std::string error;
        fs::create_directories(home);
        fs::create_directories(root + "/import");
        EXPECT_TRUE(reliability::CopyPosDirectory(posExport, pos, &error)) << error;
        reliability::SalesSite site(reliability::BuiltPrograms(), root + "/work", pos, data, {});
        EXPECT_TRUE(site.PrepareData(&error)) << error;
        platform::WriteFileAtomically(home + "/RAVELIN.001",
                                      FormatSiteFile({data, root + "/back", data}));
        platform::WriteFileAtomically(data + "/SETUP.001",
                                      "SalesPath=" + pos + "/\r\nImportDestinationPath=" + root +
                                          "/import/\r\nSendItems=FALSE\r\nReceiveSales=TRUE\r\n"
                                          "7Z=FALSE\r\n");
    }

    // The data directory by path, kind and size (contents carry times of day), without the
    // logs every run writes.
    std::map<std::string, std::pair<bool, std::uintmax_t>> Files() const {
        std::map<std::string, std::pair<bool, std::uintmax_t>> files;
        for (const auto& [path, state] :
             reliability::SnapshotTree(data, {"POLL.LOG", "VersionPoller.001", "VersionPOS.001"}))
            files[path] = {state.isDirectory, state.size};
        return files;
    }

    SalesPathVerdict Check(const reliability::PosExport& exported) const {
        reliability::CheckOptions options;
        options.scratch = root + "/work";
        return reliability::CheckSalesPath(exported, data, options);
    }

    std::string root;
    std::string home = root + "/home";
    std::string data = root + "/home/001";
    std::string pos = root + "/pos";
};

class WindowedRun : public ::testing::Test {
protected:
    explicit WindowedRun(int events = 150) {
        reliability::PosLayout layout;
        layout.periods = 2;
        layout.events = events;
        std::string error;
        EXPECT_TRUE(reliability::ExportPos(reliability::BuiltPrograms(), layout, dir.File("export"),
                                           dir.File("possim.out"), &error))
            << error;
        exported = reliability::ReadPosExport(dir.File("export"));
    }

    test::ScratchDir dir;
    test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    reliability::PosExport exported;
};

platform::ProcessOutcome RunTidewell(const std::string& home, std::vector<std::string> args) {
    test::ScopedEnv siteHome("TIDEWELL_HOME", home);
    args.insert(args.begin(), TIDEWELL_PROGRAM);
    platform::PosixProcessLauncher launcher;
    platform::ProcessOptions options;
    options.timeLimit = std::chrono::minutes(3);
    return launcher.Run(args, options);
}

TEST_F(WindowedRun, AnAutomaticRunWithTheWindowEndsWithTheHeadlessRunsFilesAndExitCode) {
    PolledSite windowed(dir.File("windowed"), dir.File("export"));
    PolledSite headless(dir.File("headless"), dir.File("export"));
    // Under ctest QT_QPA_PLATFORM=offscreen stands for the display.
    ASSERT_NE(std::getenv("QT_QPA_PLATFORM"), nullptr);
    // A failure (the day history is missing) ends both with 1; what they received waits in
    // the data directory for the next pass.
    fs::rename(windowed.data + "/POLHISTD.001", windowed.data + "/POLHISTD.kept");
    fs::rename(headless.data + "/POLHISTD.001", headless.data + "/POLHISTD.kept");
    EXPECT_EQ(RunTidewell(windowed.home, {"1", "/GETSALES"}).exitCode, 1);
    EXPECT_EQ(RunTidewell(headless.home, {"--headless", "1", "/GETSALES"}).exitCode, 1);
    EXPECT_EQ(windowed.Files(), headless.Files());

    fs::rename(windowed.data + "/POLHISTD.kept", windowed.data + "/POLHISTD.001");
    fs::rename(headless.data + "/POLHISTD.kept", headless.data + "/POLHISTD.001");
    const auto withWindow = RunTidewell(windowed.home, {"1", "/GETSALES"});
    const auto without = RunTidewell(headless.home, {"--headless", "1", "/GETSALES"});
    EXPECT_EQ(withWindow.status, platform::ProcessOutcome::Status::Exited);
    EXPECT_EQ(withWindow.exitCode, 0);
    EXPECT_EQ(without.exitCode, 0);
    EXPECT_TRUE(windowed.Check(exported).Holds()) << windowed.Check(exported).Details();
    EXPECT_EQ(windowed.Files(), headless.Files());
    const auto log = platform::ReadLines(windowed.data + "/POLL.LOG");
    ASSERT_TRUE(log);
    EXPECT_GT(log->size(), 2u);
}

class StoppedPass : public WindowedRun {
protected:
    StoppedPass() : WindowedRun(800) {}
};

TEST_F(StoppedPass, StopPollingInTheMiddleOfAPassLeavesNothingHalfWritten) {
    PolledSite site(dir.File("site"), dir.File("export"));
    test::ScopedEnv siteHome("TIDEWELL_HOME", site.home);
    test::ScriptedPrompter prompts;
    CMainFrame frame(&prompts);
    CRadiantPollApp app(frame, [](UiBridge& notify, RadiantSetup& setup) {
        return CountedPtr<Monitor::SingleWaiter>(
            radiant::BuildRadiantPollMonitor(&notify, setup, {}));
    });
    frame.AttachApp(app);
    const char* args[] = {"/usr/bin/tidewell", "1"};
    ASSERT_TRUE(app.InitInstance(2, args, "/usr/bin/tidewell"));
    frame.show();

    // Stop once the first event files are being written.
    ASSERT_TRUE(frame.RunCommand(commands::kStartPolling));
    const bool midPass = test::SpinUntil([&] {
        std::error_code error;
        for (fs::recursive_directory_iterator it(site.data, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().filename().string().rfind("jrn", 0) == 0)
                return true;
        }
        return !app.IsPolling();
    });
    ASSERT_TRUE(midPass);
    const bool stoppedWhilePolling = app.IsPolling();
    ASSERT_TRUE(frame.RunCommand(commands::kStopPolling) || !stoppedWhilePolling);
    EXPECT_FALSE(app.IsPolling());
    std::printf("stopped %s\n", stoppedWhilePolling ? "in the middle of the pass"
                                                    : "after the pass had ended by itself");
    const SalesPathVerdict stopped = site.Check(exported);
    EXPECT_EQ(stopped.tempFiles, 0u) << stopped.Details();
    EXPECT_EQ(stopped.unreadable, 0u) << stopped.Details();
    EXPECT_EQ(stopped.misplaced, 0u) << stopped.Details();
    EXPECT_EQ(stopped.eventsDuplicated, 0u) << stopped.Details();
    EXPECT_EQ(stopped.badArchives, 0u) << stopped.Details();
    EXPECT_EQ(stopped.badHistories, 0u) << stopped.Details();
    EXPECT_EQ(stopped.eventsLost, stopped.eventsLostJournalKept)
        << "an event not filed yet has its journal kept whole: " << stopped.Details();

    // The next pass finishes the work: every event filed once.
    ASSERT_TRUE(test::SpinUntil([&] { return frame.RunCommand(commands::kStartPolling); }));
    ASSERT_TRUE(test::SpinUntil([&] { return !app.IsPolling(); }, std::chrono::minutes(3)));
    const SalesPathVerdict finished = site.Check(exported);
    EXPECT_TRUE(finished.Holds()) << finished.Details();
    frame.DetachApp();
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace tw::ui
