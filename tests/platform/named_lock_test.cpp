#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
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

// Runs `body` in a child process under the unprivileged account 65534 and returns its exit
// code (-1 when the child could not change account or died).
int ExitCodeAsAnotherAccount(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 100)
        return -1;
    return WEXITSTATUS(status);
}

// Pollers of one machine may run under different accounts (a desktop user, a service account
// of the timer units): a lock file left by one must be usable by the next, whatever the umask
// of whoever made it.
TEST_F(NamedLockTest, ALockFileMadeByOneAccountIsTakenByAnother) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a second account";
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);  // as /run/lock
    test::ScopedUmask strict(077);
    NamedLock mine("SRVQORDATA");
    ASSERT_TRUE(mine.IsValid());
    EXPECT_EQ(test::PermissionsOf(LockFilePath("SRVQORDATA")), 0666u);
    ASSERT_TRUE(mine.Lock());
    EXPECT_EQ(ExitCodeAsAnotherAccount([] {
                  NamedLock theirs("SRVQORDATA");
                  if (!theirs.IsValid())
                      return 2;
                  return theirs.TryLock() ? 1 : 0;
              }),
              0)
        << "2: the other account could not open the lock file; 1: it took a held lock";
    mine.Unlock();
    EXPECT_EQ(ExitCodeAsAnotherAccount([] { return NamedLock("SRVQORDATA").TryLock() ? 0 : 1; }),
              0);
}

// Anyone may write in a shared lock directory: a name there must never lead the lock to
// another file, nor leave a locker hanging on a FIFO.
TEST_F(NamedLockTest, ALinkOrSpecialFileInPlaceOfTheLockFileIsRefused) {
    const std::string target = dir.Write("precious", "keep me");
    ASSERT_EQ(::symlink(target.c_str(), LockFilePath("linked").c_str()), 0);
    NamedLock linked("linked");
    EXPECT_FALSE(linked.IsValid());
    EXPECT_EQ(linked.OpenError(), ELOOP);
    ASSERT_EQ(::symlink(dir.File("missing").c_str(), LockFilePath("dangling").c_str()), 0);
    EXPECT_FALSE(NamedLock("dangling").IsValid());
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing"))) << "a dangling link was followed";

    ASSERT_EQ(::link(target.c_str(), LockFilePath("hard").c_str()), 0);
    EXPECT_FALSE(NamedLock("hard").IsValid());

    ASSERT_EQ(::mkfifo(LockFilePath("fifo").c_str(), 0666), 0);
    NamedLock fifo("fifo");  // must return, not wait for a writer
    EXPECT_FALSE(fifo.IsValid());
    EXPECT_EQ(test::ReadAll(target), "keep me");
}

// Both processes wait in Lock (not one trying while the other holds): a lock that let waiters
// share it would pass every TryLock test.
TEST_F(NamedLockTest, BlockingLocksOfTwoProcessesNeverOverlap) {
    NamedLock mine("site");
    ASSERT_TRUE(mine.Lock());
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t child = ::fork();
    if (child == 0) {
        NamedLock theirs("site");
        const char c = theirs.Lock() ? 'L' : 'F';
        (void)::write(report[1], &c, 1);
        ::_exit(0);
    }
    pollfd waiting{report[0], POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 300), 0) << "the child got the lock while the parent held it";
    mine.Unlock();
    char c = 0;
    ASSERT_EQ(::poll(&waiting, 1, 10000), 1) << "the child never got the lock released to it";
    ASSERT_EQ(::read(report[0], &c, 1), 1);
    EXPECT_EQ(c, 'L');
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(report[0]);
    ::close(report[1]);

    // Under contention, each process counting itself in and out in shared memory.
    void* shared = ::mmap(nullptr, 2 * sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* inside = new (shared) std::atomic<int>(0);
    auto* overlaps = new (inside + 1) std::atomic<int>(0);
    const auto hammer = [&] {
        NamedLock lock("site");
        for (int i = 0; i < 300; ++i) {
            NamedLockGuard guard(lock);
            if (inside->fetch_add(1) != 0)
                overlaps->fetch_add(1);
            ::usleep(20);
            inside->fetch_sub(1);
        }
    };
    child = ::fork();
    if (child == 0) {
        hammer();
        ::_exit(0);
    }
    hammer();
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(overlaps->load(), 0) << "both processes held the lock at once";
    ::munmap(shared, 2 * sizeof(std::atomic<int>));
}

}  // namespace
}  // namespace tw::platform
