#include "interop/ftp_servers.h"

#include "interop/loopback_wait.h"

#include <sys/stat.h>
#include <unistd.h>

#include <pwd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace tw::test {

bool PyFtpServer::Start(std::string* why) {
    if (::access("/usr/bin/python3", X_OK) != 0) {
        *why = "no /usr/bin/python3 (scripts/install-deps installs python3-pyftpdlib)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    ::mkdir(Home().c_str(), 0755);
    const std::string script = work_->File("server.py");
    std::ofstream(script)
        << "import logging, sys\n"
           "from pyftpdlib.authorizers import DummyAuthorizer\n"
           "from pyftpdlib.handlers import FTPHandler\n"
           "from pyftpdlib.servers import FTPServer\n"
           "logging.basicConfig(level=logging.WARNING)\n"
           "a = DummyAuthorizer()\n"
           "a.add_user(sys.argv[1], sys.argv[2], sys.argv[3], perm='elradfmwMT')\n"
           "h = FTPHandler\n"
           "h.authorizer = a\n"
           "h.passive_ports = range(int(sys.argv[5]), int(sys.argv[5]) + 40)\n"
           "FTPServer(('127.0.0.1', int(sys.argv[4])), h).serve_forever(timeout=0.5)\n";
    int error = 0;
    auto started =
        platform::ChildProcess::Start({"/usr/bin/python3", script, kUser, kPassword, Home(),
                                       std::to_string(kPort), std::to_string(kFirstPassivePort)},
                                      "", &error);
    if (!started) {
        *why = "python3 did not start";
        return false;
    }
    process_.emplace(std::move(*started));
    if (!AwaitGreeting(kPort, "220")) {
        *why = "pyftpdlib did not answer on port " + std::to_string(kPort) +
               " (is python3-pyftpdlib installed?)";
        Stop();
        return false;
    }
    return true;
}

void PyFtpServer::Stop() {
    if (process_)
        process_->Terminate(std::chrono::milliseconds(3000));
    process_.reset();
}

bool VsftpdServer::Start(std::string* why) {
    if (::geteuid() != 0) {
        *why = "vsftpd needs root";
        return false;
    }
    const passwd* user = ::getpwnam(kUser);
    if (user == nullptr) {
        *why = std::string("no Unix user ") + kUser + " (scripts/interop-setup makes it)";
        return false;
    }
    if (::access("/usr/sbin/vsftpd", X_OK) != 0) {
        *why = "vsftpd is not installed (scripts/install-deps installs it)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    const std::string w = work_->Path();
    ::chmod(w.c_str(), 0755);
    ::mkdir(work_->File("empty").c_str(), 0755);
    platform::PosixProcessLauncher launcher;
    auto made =
        launcher.Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                      "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                      "-keyout", work_->File("key.pem"), "-out", CertificateFile()},
                     {});
    if (!made.Succeeded()) {
        *why = "openssl could not make the test certificate";
        return false;
    }
    home_ = user->pw_dir;
    directory_ = "qorcom-ftp-" + std::to_string(::getpid());
    std::filesystem::remove_all(LocalDirectory());
    ::mkdir(LocalDirectory().c_str(), 0755);
    if (::chown(LocalDirectory().c_str(), user->pw_uid, user->pw_gid) != 0) {
        *why = "cannot hand the test directory to the test user";
        return false;
    }
    const std::string conf = work_->File("vsftpd.conf");
    std::ofstream(conf) << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                        << "listen_port=" << kPort << "\n"
                        << "background=NO\nanonymous_enable=NO\nlocal_enable=YES\n"
                           "write_enable=YES\nlocal_umask=022\nchroot_local_user=YES\n"
                           "allow_writeable_chroot=YES\npasv_enable=YES\n"
                           "pasv_address=127.0.0.1\npasv_min_port=42200\npasv_max_port=42250\n"
                           "port_enable=YES\nssl_enable=YES\nforce_local_logins_ssl=YES\n"
                           "force_local_data_ssl=YES\nssl_tlsv1=YES\nssl_sslv2=NO\n"
                           "ssl_sslv3=NO\nrequire_ssl_reuse=YES\n"
                        << "rsa_cert_file=" << CertificateFile() << "\n"
                        << "rsa_private_key_file=" << work_->File("key.pem") << "\n"
                        << "secure_chroot_dir=" << work_->File("empty") << "\n"
                        << "pam_service_name=vsftpd\nseccomp_sandbox=NO\nisolate=NO\n"
                           "isolate_network=NO\n"
                        << "vsftpd_log_file=" << work_->File("vsftpd.log") << "\n"
                        << "log_ftp_protocol=YES\n";
    int error = 0;
    auto started = platform::ChildProcess::Start({"/usr/sbin/vsftpd", conf}, "", &error);
    if (!started) {
        *why = "vsftpd did not start";
        return false;
    }
    process_.emplace(std::move(*started));
    if (!AwaitGreeting(kPort, "220")) {
        *why = "vsftpd did not answer on port " + std::to_string(kPort);
        Stop();
        return false;
    }
    return true;
}

void VsftpdServer::Stop() {
    if (process_)
        process_->Terminate(std::chrono::milliseconds(3000));
    process_.reset();
    if (!directory_.empty())
        std::filesystem::remove_all(LocalDirectory());
    directory_.clear();
}

}  // namespace tw::test
