#pragma once
// Real FTP servers on loopback for the interop tests, started by the test program and stopped
// by PID: pyftpdlib (plain FTP, no root needed) with one user and a fresh home directory.

#include <memory>
#include <optional>
#include <string>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class PyFtpServer {
public:
    static constexpr int kPort = 42123;
    static constexpr int kFirstPassivePort = 42360;
    static constexpr const char* kUser = "poller";
    static constexpr const char* kPassword = "secret";

    PyFtpServer() = default;
    ~PyFtpServer() { Stop(); }

    // False with *why when the server cannot start or does not answer.
    bool Start(std::string* why);
    void Stop();

    // The user's home directory (the server's root for the user).
    std::string Home() const { return work_->File("home"); }

private:
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> process_;
};

// True once something on 127.0.0.1:port sends a line starting with "220" (waits up to ~10 s).
bool AwaitFtpGreeting(int port);

}  // namespace tw::test
