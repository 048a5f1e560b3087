#include "interop/dovecot_server.h"

#include "interop/loopback_wait.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace tw::test {

bool DovecotServer::Start(std::string* why) {
    if (::geteuid() != 0) {
        *why = "dovecot needs root";
        return false;
    }
    const passwd* owner = ::getpwnam(kMailOwner);
    if (owner == nullptr) {
        *why = std::string("no Unix user ") + kMailOwner + " (scripts/interop-setup makes it)";
        return false;
    }
    uid_ = owner->pw_uid;
    gid_ = owner->pw_gid;
    if (::access("/usr/sbin/dovecot", X_OK) != 0) {
        *why = "dovecot is not installed (scripts/install-deps installs dovecot-pop3d)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    const std::string w = work_->Path();
    ::chmod(w.c_str(), 0755);  // the mail owner must reach the Maildir
    for (const char* dir :
         {"dovecot/run", "dovecot/state", "mail/poller/new", "mail/poller/cur", "mail/poller/tmp"})
        std::filesystem::create_directories(work_->File(dir));
    for (const char* dir :
         {"mail", "mail/poller", "mail/poller/new", "mail/poller/cur", "mail/poller/tmp"})
        if (::chown(work_->File(dir).c_str(), uid_, gid_) != 0) {
            *why = "cannot hand the Maildir to the mail owner";
            return false;
        }
    std::ofstream(work_->File("dovecot/users")) << kUser << ":{PLAIN}" << kPassword << "\n";
    const std::string conf = work_->File("dovecot.conf");
    std::ofstream(conf) << "protocols = pop3\nlisten = 127.0.0.1\n"
                        << "base_dir = " << w << "/dovecot/run\n"
                        << "state_dir = " << w << "/dovecot/state\n"
                        << "log_path = " << w << "/dovecot/dovecot.log\n"
                        << "ssl = no\n"
                           // Loopback counts as secure for dovecot, so this alone would not
                           // refuse the plain logon; said explicitly all the same.
                           "disable_plaintext_auth = no\n"
                           "auth_mechanisms = plain login\n"
                        << "mail_location = maildir:" << w << "/mail/%u\n"
                        << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN "
                           "username_format=%u "
                        << w << "/dovecot/users\n}\n"
                        << "userdb {\n  driver = static\n  args = uid=" << kMailOwner
                        << " gid=" << kMailOwner << " home=" << w << "/mail/%u\n}\n"
                        << "service pop3-login {\n  inet_listener pop3 {\n    port = " << kPort
                        << "\n  }\n}\n"
                           "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n"
                           "  inet_listener imaps {\n    port = 0\n  }\n}\n"
                           "pop3_uidl_format = %08Xu%08Xv\n";
    int error = 0;
    auto started =
        platform::ChildProcess::Start({"/usr/sbin/dovecot", "-F", "-c", conf}, "", &error);
    if (!started) {
        *why = "dovecot did not start";
        return false;
    }
    process_.emplace(std::move(*started));
    if (!AwaitGreeting(kPort, "+OK")) {
        *why = "dovecot did not answer on port " + std::to_string(kPort) + " (see " +
               work_->File("dovecot/dovecot.log") + ")";
        Stop();
        return false;
    }
    return true;
}

void DovecotServer::Stop() {
    if (process_)
        process_->Terminate(std::chrono::milliseconds(3000));
    process_.reset();
}

bool DovecotServer::Seed(const std::string& name, const std::string& message) {
    const std::string path = Maildir() + "/new/" + name;
    {
        std::ofstream out(path, std::ios::binary);
        out << message;
        if (!out)
            return false;
    }
    return ::chown(path.c_str(), uid_, gid_) == 0;
}

int DovecotServer::MessageCount() const {
    int count = 0;
    for (const char* folder : {"/new", "/cur"})
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(Maildir() + folder))
            ++count;
    return count;
}

}  // namespace tw::test
