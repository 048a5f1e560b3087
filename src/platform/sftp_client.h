#pragma once
// An SFTP client for "QORCom.SFTP" and the sftp:// POS directories: one SSH connection with its
// SFTP channel, on libssh. Every operation blocks the calling thread; one client must not be used
// from two threads.
//
// Host keys are trusted on first use. The key a server shows is looked up in the library's own
// known-hosts file and in the user's OpenSSH known_hosts. A known key connects; a key different
// from the recorded one is refused (the server may be an impostor); an unknown key is recorded
// in the library's file and accepted, unless strict host-key checking is on, which refuses it.
//
// Logins are tried in this order: password, keyboard-interactive (a single hidden prompt is
// answered with the password; more prompts or a visible one cannot be answered), then the
// public keys of the user's ~/.ssh (or the identity file of the settings). A user without a
// password goes straight to the public keys.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_ops.h"

namespace tw::platform {

struct SshSettings {
    std::string knownHostsFile;      // the library's own; created with its directory
    std::string userKnownHostsFile;  // the user's OpenSSH file, read only; "" for none
    bool strictHostKeys = false;
    std::string identityFile;  // "" for the user's default keys
    std::chrono::seconds timeout{30};
};

// From the environment:
//   QORCOM_SSH_KNOWN_HOSTS         the library's own file (default
//                                  $XDG_DATA_HOME/qorcom/known_hosts, else
//                                  ~/.local/share/qorcom/known_hosts)
//   QORCOM_SSH_STRICT_HOST_KEYS=1  refuse servers whose key is not recorded yet
//   QORCOM_SSH_IDENTITY            a private key file to log in with
//   QORCOM_SSH_TIMEOUT             seconds to wait for the server (default 30)
// The user's known_hosts is ~/.ssh/known_hosts.
SshSettings SshSettingsFromEnvironment();

class SftpClient {
public:
    SftpClient();
    ~SftpClient();
    SftpClient(const SftpClient&) = delete;
    SftpClient& operator=(const SftpClient&) = delete;

    // Connects, checks the host key, logs in and opens the SFTP channel. A connection held
    // before is closed first. False with *error naming the reason.
    bool Connect(const std::string& host, std::uint16_t port, const std::string& user,
                 const std::string& password, const SshSettings& settings, std::string* error);
    void Disconnect();
    bool IsConnected() const;

    bool Put(const std::string& localPath, const std::string& remotePath, std::string* error);
    // The local file is written beside its target and renamed over it once complete, so a
    // failed download never leaves a partial or truncated file.
    bool Get(const std::string& remotePath, const std::string& localPath, std::string* error);
    bool Remove(const std::string& path, std::string* error);
    bool MakeDir(const std::string& path, std::string* error);
    bool RemoveDir(const std::string& path, std::string* error);
    // Fails when to exists, unless replace is set: then an existing to is removed first when
    // the server cannot replace it in one step (a moment without either name, never a mixed
    // file).
    bool Rename(const std::string& from, const std::string& to, std::string* error,
                bool replace = false);
    bool SetModificationTime(const std::string& path, std::time_t modified, std::string* error);
    // Calls entry(description, line) for every entry of the directory ("." and ".." too), line
    // being its "ls -l" form. A link is not regular, whatever it points to.
    bool List(const std::string& directory,
              const std::function<void(const DirEntry&, const std::string&)>& entry,
              std::string* error);
    // Runs command on an exec channel. True when it exits with status 0; *output holds what it
    // wrote to stdout and stderr (at most kCommandOutputLimit bytes, the newest kept).
    bool Execute(const std::string& command, std::string* output, std::string* error);

    static constexpr std::size_t kCommandOutputLimit = 64 * 1024;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw::platform
