#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/named_lock.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

class NamedLockTest : public ::testing::Test {
protected:
    test::ScratchDir dir;
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
};

TEST_F(NamedLockTest, NameDerivationRules) {
    EXPECT_EQ(LogFileLockName("C:\\Qor\\Logs\\poll.log"), "C:_QOR_LOGS_POLL.LOG");
    EXPECT_EQ(LogFileLockName("/var/log/qor/POLL.LOG"), LogFileLockName("/VAR/LOG/QOR/poll.log"));
    EXPECT_EQ(SiteLockName("C:\\Qor\\Data\\"), "CQORDATA");
    EXPECT_EQ(SiteLockName("/srv/qor/data/"), "SRVQORDATA");
    EXPECT_EQ(LockFilePath("A/B").rfind(dir.Path() + "/", 0), 0u);
    EXPECT_EQ(LockFilePath("A/B").find('/', dir.Path().size() + 1), std::string::npos);

    const std::string longA(300, 'A');
    const std::string longB = longA + "B";
    EXPECT_NE(LockFilePath(longA), LockFilePath(longB));
    EXPECT_LT(LockFilePath(longB).size(), dir.Path().size() + 230);
}

TEST_F(NamedLockTest, TwoObjectsOfOneNameExcludeEachOther) {
    NamedLock a(LogFileLockName("/x/POLL.LOG"));
    NamedLock b(LogFileLockName("/X/poll.log"));
    ASSERT_TRUE(a.IsValid());
    ASSERT_TRUE(a.Lock());
    EXPECT_FALSE(b.TryLock());
    a.Unlock();
    EXPECT_TRUE(b.TryLock());
    b.Unlock();
}

TEST_F(NamedLockTest, ThreadsSharingOneObjectAreSerialised) {
    NamedLock lock("shared");
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                NamedLockGuard guard(lock);
                if (inside.fetch_add(1) != 0)
                    overlap = true;
                inside.fetch_sub(1);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_FALSE(overlap.load());
}

TEST_F(NamedLockTest, OtherProcessIsExcludedAndAKilledHolderFreesTheLock) {
    NamedLock mine("site");
    ASSERT_TRUE(mine.Lock());
    pid_t child = ::fork();
    if (child == 0) {
        NamedLock theirs("site");
        ::_exit(theirs.TryLock() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child got a lock the parent holds";
    mine.Unlock();

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    child = ::fork();
    if (child == 0) {
        NamedLock theirs("site");
        theirs.Lock();
        char c = 'x';
        (void)::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_FALSE(mine.TryLock());
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(mine.TryLock()) << "a lock must die with its process";
    mine.Unlock();
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(NamedLockTest, UnwritableLockDirectoryGivesAnInvalidLock) {
    test::ScopedEnv missing("TIDEWELL_LOCK_DIR", dir.File("no/such/dir"));
    NamedLock lock("x");
    EXPECT_FALSE(lock.IsValid());
    EXPECT_EQ(lock.OpenError(), ENOENT);
    EXPECT_FALSE(lock.Lock());
    EXPECT_FALSE(lock.TryLock());
}

}  // namespace
}  // namespace tw::platform
