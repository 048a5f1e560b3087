#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "messages/ui_interfaces.h"
#include "monitor/waiters.h"
#include "support/recording_messages.h"

namespace tw::Monitor {
namespace {

using namespace std::chrono_literals;

// A pass that can block until released, fail, or throw; records what the waiter did to it.
class ScriptedHandler : public WaitOverHandler {
public:
    bool Initialise() override {
        events.push_back("init");
        return initResult;
    }
    bool Process() override {
        ++passes;
        passStarted.Set();
        if (blockPass)
            releasePass.Wait();
        if (throwInPass)
            throw std::runtime_error("disk on fire");
        return passResult;
    }
    bool Finish() override {
        events.push_back("finish");
        return finishResult;
    }
    void SetStopRequested(int requested) override { stopRequested = requested; }

    std::vector<std::string> events;
    std::atomic<int> passes{0};
    std::atomic<int> stopRequested{-1};
    bool initResult = true, passResult = true, finishResult = true;
    bool blockPass = false, throwInPass = false;
    platform::Event passStarted{platform::Event::Reset::Manual};
    platform::Event releasePass{platform::Event::Reset::Manual};
};

class CountingBridge : public UiBridge {
public:
    void PostEndOfPass() override { ++notices; }
    void PumpEvents() override { ++pumps; }
    std::atomic<int> notices{0};
    std::atomic<int> pumps{0};
};

struct Rig {
    explicit Rig(std::uint32_t interval = 0, bool firstAtOnce = true)
        : handler(new ScriptedHandler),
          waiter(&bridge, CountedPtr<WaitHandler>(new WaitTimeoutHandler(interval, firstAtOnce)),
                 CountedPtr<WaitOverHandler>(handler)) {}
    CountingBridge bridge;
    ScriptedHandler* handler;  // owned by the waiter
    PollerWaiter waiter;
};

TEST(Waiter, SinglePassRunsExactlyOnePassOnItsThreadAndNotifies) {
    Rig rig;
    rig.waiter.SetSinglePass(true);
    ASSERT_TRUE(rig.waiter.Start());
    rig.waiter.WaitForThread();
    EXPECT_FALSE(rig.waiter.IsThreadRunning());
    EXPECT_EQ(rig.handler->passes.load(), 1);
    EXPECT_EQ(rig.waiter.LastResult(), kSuccess);
    EXPECT_EQ(rig.bridge.notices.load(), 1);
    EXPECT_EQ(rig.handler->events, (std::vector<std::string>{"init", "finish"}));
    EXPECT_EQ(rig.handler->stopRequested.load(), 0);
}

TEST(Waiter, IntervalZeroRunsPassesWithoutDelayUntilStopped) {
    Rig rig;
    ASSERT_TRUE(rig.waiter.Start());
    while (rig.handler->passes.load() < 50) std::this_thread::yield();
    rig.waiter.Stop(true);
    EXPECT_FALSE(rig.waiter.IsThreadRunning());
    EXPECT_EQ(rig.waiter.LastResult(), kStopped);
}

TEST(Waiter, StopDuringAPassLetsItFinishThenEndsWithStoppedWhilePumping) {
    Rig rig(60000);
    rig.handler->blockPass = true;
    ASSERT_TRUE(rig.waiter.Start());
    ASSERT_TRUE(rig.handler->passStarted.WaitFor(10s));
    std::thread releaser([&] {
        std::this_thread::sleep_for(700ms);
        rig.handler->releasePass.Set();
    });
    const auto start = std::chrono::steady_clock::now();
    rig.waiter.Stop(true);  // waits for the pass to end and the next wait to see the stop
    const auto waited = std::chrono::steady_clock::now() - start;
    releaser.join();
    EXPECT_EQ(rig.handler->stopRequested.load(), 1);
    EXPECT_EQ(rig.handler->passes.load(), 1);
    EXPECT_EQ(rig.waiter.LastResult(), kStopped);
    EXPECT_EQ(rig.handler->events.back(), "finish");
    EXPECT_LT(waited, 30s) << "the 60 s interval must not be waited out";
    // 700 ms of waiting in 250 ms slices.
    EXPECT_GE(rig.bridge.pumps.load(), 2);
}

TEST(Waiter, FailedPassEndsTheLoopAfterBothFinish) {
    Rig rig;
    rig.handler->passResult = false;
    ASSERT_TRUE(rig.waiter.Start());
    rig.waiter.WaitForThread();
    EXPECT_EQ(rig.handler->passes.load(), 1);
    EXPECT_EQ(rig.waiter.LastResult(), kPassFailed);
    EXPECT_EQ(rig.handler->events.back(), "finish");
    EXPECT_EQ(rig.bridge.notices.load(), 1);
}

TEST(Waiter, ResultCodesOfInitialiseAndFinish) {
    Rig rig;
    EXPECT_EQ(rig.waiter.Finish(kInitFailed), kInitFailed) << "a failure code is kept";
    rig.handler->finishResult = false;
    EXPECT_EQ(rig.waiter.Finish(kSuccess), kFinishFailed);
    rig.handler->initResult = false;
    rig.waiter.SetRunOnThread(false);
    ASSERT_TRUE(rig.waiter.Start());  // runs on this thread
    EXPECT_EQ(rig.waiter.LastResult(), kInitFailed);
    EXPECT_EQ(rig.handler->passes.load(), 0);
}

TEST(Waiter, ExceptionInAPassIsReportedAndEndsTheRunWithTheNoticeSent) {
    test::RecordedMessages messages;
    Rig rig;
    rig.handler->throwInPass = true;
    ASSERT_TRUE(rig.waiter.Start());
    rig.waiter.WaitForThread();
    EXPECT_EQ(rig.waiter.LastResult(), kPassFailed);
    EXPECT_EQ(messages.error.Texts(), std::vector<std::string>{"Exception: disk on fire"});
    EXPECT_EQ(rig.handler->events.back(), "finish");
    EXPECT_EQ(rig.bridge.notices.load(), 1);
}

TEST(Waiter, MissingHandlerIsReportedNotFatal) {
    test::RecordedMessages messages;
    CountingBridge bridge;
    PollerWaiter waiter(&bridge, CountedPtr<WaitHandler>(new WaitTimeoutHandler(0, true)),
                        CountedPtr<WaitOverHandler>());
    ASSERT_TRUE(waiter.Start());
    waiter.WaitForThread();
    EXPECT_EQ(waiter.LastResult(), kInitFailed);
    ASSERT_FALSE(messages.error.Texts().empty());
    EXPECT_EQ(messages.error.Texts()[0], "Exception: CountedPtr has not been initialised with ptr");
    EXPECT_EQ(bridge.notices.load(), 1);
}

TEST(Waiter, StopAfterTheThreadEndedOnlySignalsAndDestructionJoinsARunningLoop) {
    Rig ended;
    ended.waiter.SetSinglePass(true);
    ASSERT_TRUE(ended.waiter.Start());
    ended.waiter.WaitForThread();
    ended.waiter.Stop(true);
    EXPECT_FALSE(ended.waiter.IsWaitingForThread());

    const auto start = std::chrono::steady_clock::now();
    {
        Rig running(60000, false);  // would wait a minute before its first pass
        ASSERT_TRUE(running.waiter.Start());
        EXPECT_FALSE(running.waiter.Start()) << "a second start while running";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST(CountedPtr, SharesOwnershipAndThrowsTheKnownTextWhenEmpty) {
    struct Tracked {
        explicit Tracked(int* deaths) : deaths_(deaths) {}
        virtual ~Tracked() { ++*deaths_; }
        int* deaths_;
    };
    struct Derived : Tracked {
        using Tracked::Tracked;
    };
    int deaths = 0;
    {
        CountedPtr<Derived> a(new Derived(&deaths));
        CountedPtr<Tracked> b = a;
        EXPECT_EQ(a.UseCount(), 2);
        a.Reset();
        EXPECT_EQ(deaths, 0);
        EXPECT_EQ(b.UseCount(), 1);
    }
    EXPECT_EQ(deaths, 1);
    CountedPtr<Tracked> empty;
    try {
        (void)*empty;
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "CountedPtr has not been initialised with ptr");
    }
}

}  // namespace
}  // namespace tw::Monitor
