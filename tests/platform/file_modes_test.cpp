// The modes of the files the program makes: what it delivers must be readable by the account
// that picks it up, whatever path it took through temporary files, and finding the mode must
// never touch the process-wide umask that other threads create files under.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/file_env.h"
#include "platform/text_file.h"
#include "support/scratch_dir.h"

namespace {

std::atomic<bool> watchUmask{false};
std::atomic<int> umaskCallsWatched{0};

}  // namespace

// Every call of umask() in this program comes through here while a test watches.
extern "C" mode_t umask(mode_t mask) noexcept {
    using Umask = mode_t (*)(mode_t);
    static const auto real = reinterpret_cast<Umask>(::dlsym(RTLD_NEXT, "umask"));
    if (watchUmask.load())
        ++umaskCallsWatched;
    return real(mask);
}

namespace tw::platform {
namespace {

using test::PermissionsOf;

TEST(FileModes, NewFilesGetThePlainModeAndReplacedFilesKeepTheirs) {
    test::ScratchDir dir;
    test::ScopedUmask mask(022);

    const std::string written = dir.File("RAVELIN.001");
    ASSERT_TRUE(WriteFileAtomically(written, "new"));
    EXPECT_EQ(PermissionsOf(written), 0644u);
    ::chmod(written.c_str(), 0664);
    ASSERT_TRUE(WriteFileAtomically(written, "replaced"));
    EXPECT_EQ(PermissionsOf(written), 0664u) << "kept exactly, although the umask clears g+w";
    {
        test::ScopedUmask stricter(027);
        ASSERT_TRUE(WriteFileAtomically(dir.File("strict"), "x"));
        EXPECT_EQ(PermissionsOf(dir.File("strict")), 0640u);
    }

    // Beside a target a temporary file is made to become that target; in the shared temporary
    // directory it is the program's own scratch.
    auto beside = TempFile::Create(".~tw", dir.Path());
    ASSERT_TRUE(beside);
    EXPECT_EQ(PermissionsOf(beside->Path()), 0644u);
    test::ScopedEnv tmp("TMPDIR", dir.Path());
    auto scratch = TempFile::Create("FS");
    ASSERT_TRUE(scratch);
    EXPECT_EQ(PermissionsOf(scratch->Path()), 0600u);

    // A copy of a private scratch file is not private.
    int error = 0;
    ASSERT_TRUE(
        CopyFileThroughPartial(DefaultFileEnv(), scratch->Path(), dir.File("copy"), false, &error))
        << error;
    EXPECT_EQ(PermissionsOf(dir.File("copy")), 0644u);
    const std::string existing = dir.Write("existing", "old");
    ::chmod(existing.c_str(), 0640);
    ASSERT_TRUE(CopyFileThroughPartial(DefaultFileEnv(), scratch->Path(), existing, false, &error))
        << error;
    EXPECT_EQ(PermissionsOf(existing), 0640u) << "an existing target keeps its mode";
}

TEST(FileModes, CreatingFilesOnSeveralThreadsNeverChangesTheUmask) {
    test::ScratchDir dir;
    test::ScopedUmask mask(022);
    const std::string source = dir.Write("source", "bytes");
    constexpr int kThreads = 4, kFilesEach = 40;

    watchUmask = true;
    umaskCallsWatched = 0;
    std::atomic<int> failures{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kFilesEach; ++i) {
                    const std::string name = dir.File(std::to_string(t) + "-" + std::to_string(i));
                    int error = 0;
                    auto temp = TempFile::Create(".~tw", dir.Path());
                    if (!WriteFileAtomically(name + ".atomic", "x") || !temp ||
                        !CopyFileThroughPartial(DefaultFileEnv(), source, name + ".copy", false,
                                                &error)) {
                        ++failures;
                    }
                    // A file created plainly meanwhile gets the umask of the process.
                    const int fd = ::open((name + ".plain").c_str(),
                                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                    if (fd >= 0)
                        ::close(fd);
                    for (const char* kind : {".atomic", ".copy", ".plain"}) {
                        if (PermissionsOf(name + kind) != 0644)
                            ++failures;
                    }
                    if (temp && PermissionsOf(temp->Path()) != 0644)
                        ++failures;
                }
            });
        }
    }
    watchUmask = false;

    EXPECT_EQ(umaskCallsWatched.load(), 0);
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace tw::platform
