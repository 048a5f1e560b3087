#pragma once
// Starting programs with an argument vector (never through a shell string) and waiting for
// them with a time limit.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tw::platform {

struct ProcessOutcome {
    enum class Status {
        Exited,       // exitCode holds the exit status
        Signaled,     // signal holds the signal that ended the child
        TimedOut,     // the limit passed; the child was ended
        StartFailed,  // error holds errno (program not found, not executable, ...)
    };
    Status status = Status::StartFailed;
    int exitCode = -1;
    int signal = 0;
    int error = 0;

    bool Succeeded() const { return status == Status::Exited && exitCode == 0; }
};

struct ProcessOptions {
    std::string workingDirectory;  // empty: the caller's
    // Without a limit the wait is unbounded. When the limit passes the child's process group
    // (the child leads its own) gets SIGTERM, then SIGKILL after killGrace; the child is reaped.
    std::optional<std::chrono::milliseconds> timeLimit;
    std::chrono::milliseconds killGrace{2000};
};

// Runs programs. The real launcher uses posix_spawnp (PATH search for argv[0] without '/');
// tests substitute a recording fake. Thread-safe: each call owns its child.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts argv[0] with argv and waits for it as options say. argv must not be empty.
    virtual ProcessOutcome Run(const std::vector<std::string>& argv,
                               const ProcessOptions& options) = 0;
};

class PosixProcessLauncher final : public ProcessLauncher {
public:
    ProcessOutcome Run(const std::vector<std::string>& argv,
                       const ProcessOptions& options) override;
};

// One started child. The destructor of a child still running ends and reaps it, so no child
// outlives its owner unnoticed.
class ChildProcess {
public:
    // nullopt with *error = errno when the program cannot be started.
    static std::optional<ChildProcess> Start(const std::vector<std::string>& argv,
                                             const std::string& workingDirectory, int* error);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess();

    pid_t Pid() const { return pid_; }
    // Waits at most timeLimit (unbounded without one); TimedOut leaves the child running.
    ProcessOutcome Wait(std::optional<std::chrono::milliseconds> timeLimit);
    // SIGTERM, then SIGKILL after grace; reaps the child.
    void Terminate(std::chrono::milliseconds grace);

private:
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_ = -1;
    bool reaped_ = false;
};

}  // namespace tw::platform
