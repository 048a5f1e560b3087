#pragma once
// A private OpenSSH server on 127.0.0.1:42022 with the in-process SFTP server, for the SFTP
// tests and benchmark. Started and stopped by the test program itself (by PID). It logs the
// test user on by password (or by keyboard-interactive only) and by the client key it makes.

#include <memory>
#include <optional>
#include <string>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class SshdServer {
public:
    static constexpr int kPort = 42022;
    static constexpr const char* kUser = "qortest";
    static constexpr const char* kPassword = "Qor-test-1";

    enum class Logins { kPassword, kKeyboardInteractiveOnly };

    SshdServer() = default;
    ~SshdServer() { Stop(); }

    // False with *why when the server cannot run here (no sshd, no test user, not root).
    bool Start(std::string* why, Logins logins = Logins::kPassword);
    void Stop();
    // Gives the server a new host key (the next Start serves it).
    bool ReplaceHostKey(std::string* why);

    // A directory of the test user for the files of a test, an absolute path.
    std::string DataDirectory() const;
    // The client's private key file, whose public half the server accepts.
    std::string ClientKey() const;
    std::string Work(const std::string& name) const { return work_->File(name); }

private:
    bool Prepare(std::string* why);
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> sshd_;
};

}  // namespace tw::test
