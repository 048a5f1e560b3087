#include "interop/smb_server.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/smb_client.h"

namespace tw::test {

std::string SmbServer::ShareDirectory() const {
    return work_->File("share");
}

std::string SmbServer::UncRoot() {
    return "\\\\127.0.0.1:" + std::to_string(kPort) + "\\pos\\";
}

bool SmbServer::Start(std::string* why) {
    if (::geteuid() != 0) {
        *why = "smbd needs root";
        return false;
    }
    const passwd* user = ::getpwnam(kUser);
    if (user == nullptr) {
        *why = std::string("no Unix user ") + kUser + " (scripts/interop-setup makes it)";
        return false;
    }
    if (::access("/usr/sbin/smbd", X_OK) != 0) {
        *why = "smbd is not installed";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    const std::string w = work_->Path();
    ::chmod(w.c_str(), 0755);  // the share's user must reach its directory
    for (const char* dir : {"private", "lock", "state", "cache", "pid", "log", "share"}) {
        ::mkdir(work_->File(dir).c_str(), 0755);
    }
    if (::chown(ShareDirectory().c_str(), user->pw_uid, user->pw_gid) != 0) {
        *why = "cannot hand the share to the test user";
        return false;
    }
    const std::string conf = work_->File("smb.conf");
    std::ofstream(conf) << "[global]\n"
                           "  netbios name = QORTEST\n"
                           "  workgroup = WORKGROUP\n"
                           "  server role = standalone server\n"
                           "  interfaces = lo\n"
                           "  bind interfaces only = yes\n"
                           "  smb ports = "
                        << kPort
                        << "\n"
                           "  disable netbios = yes\n"
                           "  private dir = "
                        << w
                        << "/private\n"
                           "  lock directory = "
                        << w
                        << "/lock\n"
                           "  state directory = "
                        << w
                        << "/state\n"
                           "  cache directory = "
                        << w
                        << "/cache\n"
                           "  pid directory = "
                        << w
                        << "/pid\n"
                           "  log file = "
                        << w
                        << "/log/log.%m\n"
                           "  passdb backend = tdbsam:"
                        << w
                        << "/private/passdb.tdb\n"
                           "  server min protocol = SMB2_10\n"
                           "  load printers = no\n"
                           "  printing = bsd\n"
                           "  printcap name = /dev/null\n"
                           "  disable spoolss = yes\n"
                           "[pos]\n"
                           "  path = "
                        << ShareDirectory()
                        << "\n"
                           "  read only = no\n"
                           "  force user = "
                        << kUser << "\n";
    platform::PosixProcessLauncher launcher;
    const std::string password = std::string(kPassword) + "\\n";
    auto added = launcher.Run({"sh", "-c",
                               "printf '" + password + password + "' | smbpasswd -c \"$0\" -s -a " +
                                   kUser + " >/dev/null",
                               conf},
                              {});
    if (!added.Succeeded()) {
        *why = "smbpasswd failed";
        return false;
    }
    int error = 0;
    smbd_.reset();
    auto started = platform::ChildProcess::Start(
        {"/usr/sbin/smbd", "--foreground", "--no-process-group", "-s", conf}, "", &error);
    if (started)
        smbd_.emplace(std::move(*started));
    if (!smbd_) {
        *why = "smbd did not start";
        return false;
    }
    // Ready when the share answers.
    for (int i = 0; i < 100; ++i) {
        platform::SmbClient probe("", kUser, kPassword);
        if (probe.Connect("smb://127.0.0.1:" + std::to_string(kPort) + "/pos", &error))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    *why = "smbd did not answer on port " + std::to_string(kPort);
    Stop();
    return false;
}

void SmbServer::Stop() {
    if (smbd_)
        smbd_->Terminate(std::chrono::milliseconds(3000));
    smbd_.reset();
}

}  // namespace tw::test
