#include "interop/smtp_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "interop/loopback_wait.h"

namespace tw::test {

bool AioSmtpServer::Start(std::string* why) {
    if (::access("/usr/bin/python3", X_OK) != 0) {
        *why = "no /usr/bin/python3 (scripts/install-deps installs python3-aiosmtpd)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    platform::PosixProcessLauncher launcher;
    const auto made =
        launcher.Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                      "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                      "-keyout", work_->File("key.pem"), "-out", CertificateFile()},
                     {});
    if (!made.Succeeded()) {
        *why = "openssl could not make the test certificate";
        return false;
    }
    const std::string script = work_->File("server.py");
    std::ofstream(script)
        << "import signal, ssl, sys, time, warnings\n"
           "warnings.simplefilter('ignore')\n"
           "from aiosmtpd.controller import Controller\n"
           "from aiosmtpd.handlers import Mailbox\n"
           "from aiosmtpd.smtp import AuthResult, LoginPassword\n"
           "cert, key, maildir = sys.argv[1], sys.argv[2], sys.argv[3]\n"
           "ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)\n"
           "ctx.load_cert_chain(cert, key)\n"
           "def check(server, session, envelope, mechanism, data):\n"
           "    ok = isinstance(data, LoginPassword) and data.login == sys.argv[6].encode() \\\n"
           "        and data.password == sys.argv[7].encode()\n"
           // handled=False: a refusal must be answered (535), or the client waits in vain.
           "    return AuthResult(success=ok, handled=False)\n"
           "servers = []\n"
           "for port, exclude in ((int(sys.argv[4]), []), (int(sys.argv[5]), ['LOGIN'])):\n"
           "    c = Controller(Mailbox(maildir), hostname='127.0.0.1', port=port,\n"
           "                   tls_context=ctx, require_starttls=True, authenticator=check,\n"
           "                   auth_required=True, auth_require_tls=True,\n"
           "                   auth_exclude_mechanism=exclude)\n"
           "    c.start()\n"
           "    servers.append(c)\n"
           "signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))\n"
           "while True:\n"
           "    time.sleep(1)\n";
    int error = 0;
    auto started = platform::ChildProcess::Start(
        {"/usr/bin/python3", script, CertificateFile(), work_->File("key.pem"), Maildir(),
         std::to_string(kPort), std::to_string(kPlainPort), kUser, kPassword},
        "", &error);
    if (!started) {
        *why = "python3 did not start";
        return false;
    }
    process_.emplace(std::move(*started));
    if (!AwaitGreeting(kPort, "220") || !AwaitGreeting(kPlainPort, "220")) {
        *why = "aiosmtpd did not answer on ports " + std::to_string(kPort) + " and " +
               std::to_string(kPlainPort) + " (is python3-aiosmtpd installed?)";
        Stop();
        return false;
    }
    return true;
}

void AioSmtpServer::Stop() {
    if (process_)
        process_->Terminate(std::chrono::milliseconds(3000));
    process_.reset();
}

std::vector<std::string> AioSmtpServer::Messages() const {
    std::vector<std::pair<std::filesystem::file_time_type, std::string>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Maildir() + "/new", error))
        files.emplace_back(entry.last_write_time(), entry.path().string());
    // Maildir names begin with the delivery time; the modification time breaks ties.
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    std::vector<std::string> messages;
    for (const auto& file : files) messages.push_back(ReadAll(file.second));
    return messages;
}

}  // namespace tw::test
