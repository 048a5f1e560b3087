#pragma once
// aiosmtpd on loopback for the mail interop tests, started by the test program and stopped by
// PID: STARTTLS required before anything else, AUTH only inside TLS and required for mail,
// user "poller" with password "secret". Two listeners: kPort offers AUTH LOGIN and PLAIN (in
// that order), kPlainPort PLAIN only. Every accepted message is stored by aiosmtpd's Mailbox
// handler in one Maildir (Maildir()), which a POP3 server can serve as it is.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class AioSmtpServer {
public:
    static constexpr int kPort = 42025;
    static constexpr int kPlainPort = 42026;
    static constexpr const char* kUser = "poller";
    static constexpr const char* kPassword = "secret";

    AioSmtpServer() = default;
    ~AioSmtpServer() { Stop(); }

    // False with *why when the server cannot start or does not answer.
    bool Start(std::string* why);
    void Stop();

    // The self-signed certificate (CN and DNS name "localhost") the server presents.
    std::string CertificateFile() const { return work_->File("cert.pem"); }
    std::string Maildir() const { return work_->File("maildir"); }
    // The messages stored so far, oldest first, as their files' bytes.
    std::vector<std::string> Messages() const;

private:
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> process_;
};

}  // namespace tw::test
