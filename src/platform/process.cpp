#include "platform/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace tw::platform {
namespace {

ProcessOutcome FromWaitStatus(int status) {
    ProcessOutcome outcome;
    if (WIFEXITED(status)) {
        outcome.status = ProcessOutcome::Status::Exited;
        outcome.exitCode = WEXITSTATUS(status);
    } else {
        outcome.status = ProcessOutcome::Status::Signaled;
        outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return outcome;
}

// A descriptor that becomes readable when the child ends, or -1 on kernels without pidfd.
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

}  // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                const std::string& workingDirectory, int* error) {
    if (argv.empty()) {
        if (error)
            *error = EINVAL;
        return std::nullopt;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    // The child leads its own process group, so that ending it on a time-out also ends what it
    // started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (error)
            *error = rc;
        return std::nullopt;
    }
    return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), reaped_(other.reaped_) {
    other.pid_ = -1;
    other.reaped_ = true;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_)
        Terminate(std::chrono::milliseconds(2000));
}

ProcessOutcome ChildProcess::Wait(std::optional<std::chrono::milliseconds> timeLimit) {
    int status = 0;
    if (!timeLimit) {
        pid_t rc;
        do {
            rc = ::waitpid(pid_, &status, 0);
        } while (rc < 0 && errno == EINTR);
        reaped_ = true;
        return FromWaitStatus(status);
    }
    const auto deadline = std::chrono::steady_clock::now() + *timeLimit;
    const int pidFd = OpenPidFd(pid_);
    for (;;) {
        const pid_t rc = ::waitpid(pid_, &status, WNOHANG);
        if (rc == pid_ || (rc < 0 && errno != EINTR)) {
            if (pidFd >= 0)
                ::close(pidFd);
            reaped_ = true;
            return rc == pid_ ? FromWaitStatus(status) : ProcessOutcome{};
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (pidFd >= 0) {
            pollfd pfd{pidFd, POLLIN, 0};
            ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30)));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
        }
    }
    if (pidFd >= 0)
        ::close(pidFd);
    ProcessOutcome outcome;
    outcome.status = ProcessOutcome::Status::TimedOut;
    return outcome;
}

void ChildProcess::Terminate(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || reaped_)
        return;
    ::kill(-pid_, SIGTERM);
    if (Wait(grace).status != ProcessOutcome::Status::TimedOut) {
        ::kill(-pid_, SIGKILL);  // whatever the child left behind in its group
        return;
    }
    ::kill(-pid_, SIGKILL);
    Wait(std::nullopt);
}

ProcessOutcome PosixProcessLauncher::Run(const std::vector<std::string>& argv,
                                         const ProcessOptions& options) {
    int error = 0;
    auto child = ChildProcess::Start(argv, options.workingDirectory, &error);
    if (!child) {
        ProcessOutcome outcome;
        outcome.status = ProcessOutcome::Status::StartFailed;
        outcome.error = error;
        return outcome;
    }
    ProcessOutcome outcome = child->Wait(options.timeLimit);
    if (outcome.status == ProcessOutcome::Status::TimedOut)
        child->Terminate(options.killGrace);
    return outcome;
}

}  // namespace tw::platform
