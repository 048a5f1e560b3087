#include "spawned_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

extern char** environ;

namespace tw::reliability {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (overrides.count(name) == 0)
            entries.push_back(text);
    }
    for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A descriptor that becomes readable when the child ends, or -1.
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Sleeps until the child may have ended or `wake` comes, whichever is first.
void WaitAtMost(int pidFd, Clock::time_point wake) {
    const auto left = wake - Clock::now();
    if (left <= Clock::duration::zero())
        return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    if (pidFd < 0) {
        std::this_thread::sleep_for(std::min(left, Clock::duration(std::chrono::milliseconds(1))));
        return;
    }
    pollfd descriptor{pidFd, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(ns / 1000000000),
                           static_cast<long>(ns % 1000000000)};
    ::ppoll(&descriptor, 1, &timeout, nullptr);
}

ProgramEnding FromStatus(int status) {
    ProgramEnding ending;
    if (WIFEXITED(status)) {
        ending.how = ProgramEnding::How::Exited;
        ending.exitCode = WEXITSTATUS(status);
    } else {
        ending.how = ProgramEnding::How::Signaled;
        ending.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return ending;
}

}  // namespace

std::string ProgramEnding::Describe() const {
    char text[96];
    switch (how) {
        case How::Exited:
            std::snprintf(text, sizeof text, "exit %d", exitCode);
            break;
        case How::Signaled:
            std::snprintf(text, sizeof text, "ended by signal %d", signal);
            break;
        case How::Killed:
            std::snprintf(text, sizeof text, "killed at %.3f s", seconds);
            break;
        case How::TimedOut:
            std::snprintf(text, sizeof text, "hung: killed at the limit, %.1f s", seconds);
            break;
        case How::Interrupted:
            std::snprintf(text, sizeof text, "interrupted at %.3f s", seconds);
            break;
        case How::StartFailed:
            std::snprintf(text, sizeof text, "could not start: %s", std::strerror(error));
            break;
    }
    return text;
}

ProgramEnding RunProgram(const ProgramRun& run) {
    std::vector<std::string> argv = run.argv;
    std::vector<std::string> environment = ChildEnvironment(run.environment);
    std::vector<char*> argPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string output = run.outputPath.empty() ? "/dev/null" : run.outputPath;
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    const auto start = Clock::now();
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argPointers[0], &actions, &attributes, argPointers.data(),
                                  envPointers.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ProgramEnding ending;
        ending.error = rc;
        return ending;
    }

    const int pidFd = OpenPidFd(pid);
    const auto deadline = start + run.timeLimit;
    const Clock::time_point killAt =
        run.killAfter ? start + *run.killAfter : Clock::time_point::max();
    std::optional<ProgramEnding::How> endedByUs;
    for (;;) {
        // Not reaped yet: while the child is a zombie its pid, and so its group id, cannot be
        // given to another process, so the group kill below reaches only what it started.
        siginfo_t info{};
        const int waited =
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if ((waited == 0 && info.si_pid == pid) || (waited < 0 && errno != EINTR))
            break;
        const auto now = Clock::now();
        if (interrupted.load()) {
            endedByUs = ProgramEnding::How::Interrupted;
            break;
        }
        if (now >= killAt || now >= deadline) {
            endedByUs = now >= killAt ? ProgramEnding::How::Killed : ProgramEnding::How::TimedOut;
            break;
        }
        Clock::time_point wake = std::min(deadline, killAt);
        if (run.onTick) {
            run.onTick();
            wake = std::min(wake, now + run.tick);
        }
        WaitAtMost(pidFd, wake);
    }
    if (pidFd >= 0)
        ::close(pidFd);
    // The child, or whatever it left in its group, goes now; then the child is reaped.
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    ProgramEnding ending = FromStatus(status);
    // A child that ended on its own just before the kill keeps its own ending.
    if (endedByUs && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        ending.how = *endedByUs;
    }
    ending.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return ending;
}

void InterruptPrograms() {
    interrupted.store(true);
}

bool ProgramsInterrupted() {
    return interrupted.load();
}

std::vector<std::string> LinesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string LastLineOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const std::streamoff size = in.tellg();
    const std::streamoff tail = std::min<std::streamoff>(size, 8192);
    std::string text(static_cast<std::size_t>(tail), '\0');
    in.seekg(size - tail);
    in.read(text.data(), tail);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

}  // namespace tw::reliability
