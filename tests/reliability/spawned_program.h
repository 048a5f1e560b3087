#pragma once
// Runs one program for the reliability harness and reaps it: started with an argument vector
// (posix_spawnp, never a shell string) as the leader of its own process group, stdout and
// stderr into a file, a few environment variables overridden. The harness needs what the
// project's ProcessLauncher does not give: the output kept, an environment of its own, a kill
// at a chosen instant, and a look at the world while the child runs.
//
// Every child is ended and reaped before RunProgram returns: at the kill instant or at the
// time limit its whole group gets SIGKILL (a pass killed at any instruction is the point; a
// hung pass counts as a failure, never as a pass). Not thread-safe against other code that
// reaps children with waitpid(-1).

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::reliability {

struct ProgramEnding {
    enum class How {
        Exited,       // exitCode holds the status
        Signaled,     // ended by a signal the harness did not send
        Killed,       // the harness killed it at the chosen instant
        TimedOut,     // still running at the time limit: killed, a failure
        Interrupted,  // killed because InterruptPrograms was called
        StartFailed,  // error holds errno
    };
    How how = How::StartFailed;
    int exitCode = -1;
    int signal = 0;
    int error = 0;
    double seconds = 0;  // from the start to the reaping

    bool Exited(int code) const { return how == How::Exited && exitCode == code; }
    // "exit 0", "killed", "timed out after 120.0 s", ...
    std::string Describe() const;
};

struct ProgramRun {
    std::vector<std::string> argv;  // argv[0] is searched on PATH when it holds no '/'
    // Set (or replaced) in the child's environment; the rest is inherited.
    std::map<std::string, std::string> environment;
    std::string outputPath;  // stdout and stderr, truncated first; empty: /dev/null
    // When set, the group is killed this long after the start unless the child ended before.
    std::optional<std::chrono::microseconds> killAfter;
    std::chrono::milliseconds timeLimit{std::chrono::minutes(5)};
    // Called every tick while the child runs (for sampling the disk, say), on this thread.
    std::function<void()> onTick;
    std::chrono::microseconds tick{std::chrono::milliseconds(2)};
};

ProgramEnding RunProgram(const ProgramRun& run);

// Makes every RunProgram of this process end its child at once (a killed harness must not
// leave a pass running: the child leads its own group, so a terminal's interrupt misses it).
// Async-signal-safe, for a SIGINT or SIGTERM handler. Lasts for the rest of the process.
void InterruptPrograms();
bool ProgramsInterrupted();

// The last non-empty line of a file (a killed program's output), or "".
std::string LastLineOf(const std::string& path);
// Every line of a file, without line ends.
std::vector<std::string> LinesOf(const std::string& path);

}  // namespace tw::reliability
