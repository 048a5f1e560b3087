#include "interop/sshd_server.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/net_probe.h"

namespace tw::test {
namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";

bool Run(const std::vector<std::string>& argv) {
    platform::PosixProcessLauncher launcher;
    return launcher.Run(argv, {}).Succeeded();
}

}  // namespace

std::string SshdServer::DataDirectory() const {
    return work_->File("data");
}

std::string SshdServer::ClientKey() const {
    return work_->File("clientkey");
}

bool SshdServer::Prepare(std::string* why) {
    if (work_)
        return true;
    if (::geteuid() != 0) {
        *why = "sshd needs root";
        return false;
    }
    const passwd* user = ::getpwnam(kUser);
    if (user == nullptr) {
        *why = std::string("no Unix user ") + kUser + " (scripts/interop-setup makes it)";
        return false;
    }
    if (::access(kSshd, X_OK) != 0) {
        *why = "sshd is not installed (openssh-server)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    ::chmod(work_->Path().c_str(), 0755);  // the test user must reach its data directory
    ::mkdir(DataDirectory().c_str(), 0755);
    if (::chown(DataDirectory().c_str(), user->pw_uid, user->pw_gid) != 0) {
        *why = "cannot hand the data directory to the test user";
        return false;
    }
    ::mkdir("/run/sshd", 0755);  // sshd's privilege separation directory
    if (!Run({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", work_->File("hostkey")}) ||
        !Run({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", ClientKey()})) {
        *why = "ssh-keygen failed";
        return false;
    }
    std::filesystem::copy_file(ClientKey() + ".pub", work_->File("authorized_keys"));
    return true;
}

bool SshdServer::ReplaceHostKey(std::string* why) {
    std::filesystem::remove(work_->File("hostkey"));
    std::filesystem::remove(work_->File("hostkey.pub"));
    if (!Run({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", work_->File("hostkey")})) {
        *why = "ssh-keygen failed";
        return false;
    }
    return true;
}

bool SshdServer::Start(std::string* why, Logins logins) {
    Stop();
    if (!Prepare(why))
        return false;
    const bool passwords = logins == Logins::kPassword;
    const std::string conf = work_->File("sshd_config");
    std::ofstream(conf) << "Port " << kPort << "\nListenAddress 127.0.0.1\n"
                        << "HostKey " << work_->File("hostkey") << "\n"
                        << "PidFile " << work_->File("sshd.pid") << "\n"
                        << "AuthorizedKeysFile " << work_->File("authorized_keys") << "\n"
                        << "StrictModes no\n"
                        << "PubkeyAuthentication yes\n"
                        << "PasswordAuthentication " << (passwords ? "yes" : "no") << "\n"
                        << "KbdInteractiveAuthentication " << (passwords ? "no" : "yes") << "\n"
                        << "UsePAM yes\n"
                        << "AllowUsers " << kUser << "\n"
                        << "Subsystem sftp internal-sftp\n";
    if (!Run({kSshd, "-t", "-f", conf})) {
        *why = "sshd refuses its configuration " + conf;
        return false;
    }
    int error = 0;
    auto started = platform::ChildProcess::Start(
        {kSshd, "-D", "-f", conf, "-E", work_->File("sshd.log")}, "", &error);
    if (!started) {
        *why = "sshd did not start";
        return false;
    }
    sshd_.emplace(std::move(*started));
    for (int i = 0; i < 100; ++i) {
        if (platform::IsHostReachable("127.0.0.1", kPort, std::chrono::milliseconds(200)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *why = "sshd did not answer on port " + std::to_string(kPort) + " (see " +
           work_->File("sshd.log") + ")";
    Stop();
    return false;
}

void SshdServer::Stop() {
    if (sshd_)
        sshd_->Terminate(std::chrono::milliseconds(3000));
    sshd_.reset();
}

}  // namespace tw::test
