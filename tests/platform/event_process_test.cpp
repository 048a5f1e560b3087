#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

using namespace std::chrono_literals;

TEST(Event, ManualResetReleasesEveryWaiterAndStaysSet) {
    Event event(Event::Reset::Manual);
    EXPECT_FALSE(event.WaitFor(10ms));
    std::atomic<int> released{0};
    std::thread a([&] {
        event.Wait();
        ++released;
    });
    std::thread b([&] {
        event.Wait();
        ++released;
    });
    event.Set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.WaitFor(1ms));
}

TEST(Event, AutoResetReleasesOneWaiter) {
    Event event(Event::Reset::Auto, true);
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(0ms)) << "the first waiter clears it";
    event.Set();
    event.Set();
    EXPECT_TRUE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(0ms));
}

TEST(Process, ExitCodeArgumentsAndWorkingDirectory) {
    test::ScratchDir dir;
    PosixProcessLauncher launcher;
    ProcessOptions options;
    options.workingDirectory = dir.Path();
    // Arguments reach the child unsplit and unexpanded: no shell is involved.
    auto outcome = launcher.Run(
        {"sh", "-c", "printf '%s|%s' \"$1\" \"$(pwd)\" > out; exit 3", "sh", "a b;$HOME"}, options);
    EXPECT_EQ(outcome.status, ProcessOutcome::Status::Exited);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(test::ReadAll(dir.File("out")), "a b;$HOME|" + dir.Path());
}

TEST(Process, MissingProgramFailsToStart) {
    PosixProcessLauncher launcher;
    auto outcome = launcher.Run({"/nonexistent/program"}, {});
    EXPECT_EQ(outcome.status, ProcessOutcome::Status::StartFailed);
    EXPECT_EQ(outcome.error, ENOENT);
}

TEST(Process, ChildIsEndedWhenTheLimitPasses) {
    PosixProcessLauncher launcher;
    ProcessOptions options;
    options.timeLimit = 200ms;
    options.killGrace = 200ms;
    const auto start = std::chrono::steady_clock::now();
    // The shell's child ignores SIGTERM, so the group takes the SIGKILL after the grace period;
    // nothing may be left holding the test's output open.
    auto outcome = launcher.Run({"sh", "-c", "trap '' TERM; sleep 30; true"}, options);
    EXPECT_EQ(outcome.status, ProcessOutcome::Status::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(Process, SignalledChildIsReported) {
    PosixProcessLauncher launcher;
    auto outcome = launcher.Run({"sh", "-c", "kill -9 $$"}, {});
    EXPECT_EQ(outcome.status, ProcessOutcome::Status::Signaled);
    EXPECT_EQ(outcome.signal, SIGKILL);
}

}  // namespace
}  // namespace tw::platform
