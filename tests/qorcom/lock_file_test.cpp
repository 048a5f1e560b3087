#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "qorcom/frame/lock_file.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;

class QorcomLockFileTest : public ::testing::Test {
protected:
    ComPtr<IQORLockFile> NewLock(const std::string& path) {
        auto lock = test::Create<IQORLockFile>(CLSID_QORLockFile, IID_IQORLockFile);
        if (lock)
            lock->put_Filename(Bstr::FromUtf8(path).Get());
        return lock;
    }
    static bool Lock(IQORLockFile* lock) {
        VARIANT_BOOL result = 1;
        EXPECT_EQ(lock->Lock(&result), S_OK);
        EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE) << result;
        return result == VARIANT_TRUE;
    }
    static bool Unlock(IQORLockFile* lock) {
        VARIANT_BOOL result = 1;
        EXPECT_EQ(lock->Unlock(&result), S_OK);
        return result == VARIANT_TRUE;
    }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

    tw::test::ScratchDir dir;
    std::string path = dir.File("site.lck");
};

TEST_F(QorcomLockFileTest, TwoObjectsOfOneProcessExcludeEachOther) {
    auto first = NewLock(path);
    auto second = NewLock(path);
    EXPECT_TRUE(Lock(first.Get()));
    EXPECT_TRUE(Lock(first.Get())) << "locking again keeps the lock";
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(Lock(second.Get()));
    EXPECT_FALSE(Unlock(second.Get())) << "holds nothing";
    EXPECT_TRUE(Exists(path)) << "a failed unlock deletes nothing";

    EXPECT_TRUE(Unlock(first.Get()));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Unlock(first.Get()));
    EXPECT_TRUE(Lock(second.Get()));
}

TEST_F(QorcomLockFileTest, ChangingTheNameReleasesTheLockAndTheSameNameKeepsIt) {
    auto lock = NewLock(path);
    auto rival = NewLock(path);
    ASSERT_TRUE(Lock(lock.Get()));
    lock->put_Filename(Bstr::FromUtf8(path).Get());
    EXPECT_FALSE(Lock(rival.Get())) << "the same name keeps the lock";

    const std::string other = dir.File("other.lck");
    lock->put_Filename(Bstr::FromUtf8(other).Get());
    EXPECT_FALSE(Exists(path)) << "the old lock file is released and deleted";
    EXPECT_FALSE(Exists(other)) << "the new file is not locked before Lock";
    EXPECT_TRUE(Lock(rival.Get()));
    Bstr name;
    ASSERT_EQ(lock->get_Filename(name.Put()), S_OK);
    EXPECT_EQ(name.Utf8(), other);

    ASSERT_TRUE(Lock(lock.Get()));
    lock->put_Filename(nullptr);
    EXPECT_FALSE(Exists(other));
    ASSERT_EQ(lock->get_Filename(name.Put()), S_OK);
    EXPECT_EQ(name.Utf8(), "");
    EXPECT_FALSE(Lock(lock.Get())) << "no name, no lock";
    EXPECT_EQ(lock->get_Filename(nullptr), E_POINTER);
}

TEST_F(QorcomLockFileTest, ReleasingALockedObjectDeletesItsFile) {
    auto lock = NewLock(path);
    ASSERT_TRUE(Lock(lock.Get()));
    lock.Reset();
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Lock(NewLock(dir.File("no/such/dir/x.lck")).Get()));
}

// A lock file left behind by a process that died does not block, and a holder that is killed
// frees the lock.
TEST_F(QorcomLockFileTest, AKilledHolderFreesTheLock) {
    dir.Write("site.lck", "");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto lock = NewLock(path);
        const char answer = Lock(lock.Get()) ? 'L' : 'F';
        if (write(ready[1], &answer, 1) != 1)
            _exit(3);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(answer, 'L');
    auto lock = NewLock(path);
    EXPECT_FALSE(Lock(lock.Get()));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(Exists(path)) << "the dead holder's file stays";
    EXPECT_TRUE(Lock(lock.Get()));
}

// Processes race for the lock; each holder marks its tenure with a file that only one may
// create. Unlock deletes the lock file, so the race also covers locking a file just deleted.
TEST_F(QorcomLockFileTest, RacingProcessesNeverHoldTheLockTogether) {
    const std::string marker = dir.File("holder");
    constexpr int kProcesses = 4, kRounds = 150;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto lock = NewLock(path);
            int overlaps = 0;
            for (int round = 0; round < kRounds;) {
                VARIANT_BOOL held = VARIANT_FALSE;
                lock->Lock(&held);
                if (!held) {
                    usleep(50);
                    continue;
                }
                const int fd = ::open(marker.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
                if (fd < 0)
                    ++overlaps;
                usleep(20);
                if (fd >= 0) {
                    ::close(fd);
                    ::unlink(marker.c_str());
                }
                lock->Unlock(&held);
                ++round;
            }
            lock.Reset();
            _exit(overlaps == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "two holders at once";
    }
}

}  // namespace
}  // namespace tw::qorcom
