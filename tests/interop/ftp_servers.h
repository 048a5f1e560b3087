#pragma once
// Real FTP servers on loopback for the interop tests, started by the test program and stopped
// by PID: pyftpdlib (plain FTP, no root needed) with one user and a fresh home directory, and
// vsftpd (explicit FTPS that requires TLS session reuse on data connections; needs root and the
// test user of scripts/interop-setup).

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

class VsftpdServer {
public:
    static constexpr int kPort = 42121;
    static constexpr const char* kUser = "qortest";
    static constexpr const char* kPassword = "Qor-test-1";

    VsftpdServer() = default;
    ~VsftpdServer() { Stop(); }

    bool Start(std::string* why);
    void Stop();

    // The self-signed certificate (CN and DNS name "localhost") the server presents.
    std::string CertificateFile() const { return work_->File("cert.pem"); }
    // A fresh directory in the test user's home, as a path on this machine and as the
    // server shows it (relative to the user's chrooted home).
    std::string LocalDirectory() const { return home_ + "/" + directory_; }
    const std::string& RemoteDirectory() const { return directory_; }

private:
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> process_;
    std::string home_, directory_;
};

}  // namespace tw::test
