#include "platform/sftp_client.h"

#include <fcntl.h>  // the O_ flags sftp_open takes
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/text_file.h"

namespace tw::platform {
namespace {

// Reads are pipelined: this many requests of kReadChunk bytes are kept in flight.
constexpr std::uint32_t kReadChunk = 64 * 1024;
constexpr int kReadsInFlight = 16;
// Writes go out in large requests (the server takes up to 256 KiB per message).
constexpr std::size_t kWriteChunk = 128 * 1024;
constexpr std::size_t kLocalBlock = 1024 * 1024;

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

std::string SftpErrorText(sftp_session sftp, ssh_session session) {
    switch (sftp_get_error(sftp)) {
        case SSH_FX_EOF:
            return "End of file";
        case SSH_FX_NO_SUCH_FILE:
            return "No such file or directory";
        case SSH_FX_PERMISSION_DENIED:
            return "Permission denied";
        case SSH_FX_FAILURE:
            return "The server could not do it (the name may exist already, or a directory may not "
                   "be empty)";
        case SSH_FX_BAD_MESSAGE:
            return "Bad message";
        case SSH_FX_NO_CONNECTION:
        case SSH_FX_CONNECTION_LOST:
            return std::string("Connection lost: ") + ssh_get_error(session);
        case SSH_FX_OP_UNSUPPORTED:
            return "Not supported by the server";
        case SSH_FX_FILE_ALREADY_EXISTS:
            return "The file exists already";
        default:
            return ssh_get_error(session);
    }
}

// "SHA256:..." of the server's key, or "" when it cannot be had.
std::string Fingerprint(ssh_session session) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK)
        return {};
    unsigned char* hash = nullptr;
    std::size_t length = 0;
    std::string text;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
        char* printable = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
        if (printable)
            text = printable;
        ssh_string_free_char(printable);
        ssh_clean_pubkey_hash(&hash);
    }
    ssh_key_free(key);
    return text;
}

// An "ls -l" line for a server that sends none.
std::string ListingLine(const sftp_attributes_struct& a) {
    if (a.longname && *a.longname)
        return a.longname;
    const bool directory = a.type == SSH_FILEXFER_TYPE_DIRECTORY;
    char perms[11] = "----------";
    if (directory)
        perms[0] = 'd';
    const char* letters = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        if (a.permissions & (0400u >> i))
            perms[i + 1] = letters[i];
    const std::time_t mtime = static_cast<std::time_t>(a.mtime);
    std::tm local{};
    localtime_r(&mtime, &local);
    char date[32];
    std::strftime(date, sizeof date, "%b %d %Y", &local);
    return std::string(perms) + " 1 " + std::to_string(a.uid) + " " + std::to_string(a.gid) + " " +
           std::to_string(a.size) + " " + date + " " + (a.name ? a.name : "");
}

}  // namespace

SshSettings SshSettingsFromEnvironment() {
    SshSettings settings;
    if (const char* own = std::getenv("QORCOM_SSH_KNOWN_HOSTS"); own && *own) {
        settings.knownHostsFile = own;
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        settings.knownHostsFile = std::string(data) + "/qorcom/known_hosts";
    } else {
        settings.knownHostsFile = HomeDirectory() + "/.local/share/qorcom/known_hosts";
    }
    if (const std::string home = HomeDirectory(); !home.empty())
        settings.userKnownHostsFile = home + "/.ssh/known_hosts";
    if (const char* strict = std::getenv("QORCOM_SSH_STRICT_HOST_KEYS"))
        settings.strictHostKeys = std::string(strict) == "1";
    if (const char* identity = std::getenv("QORCOM_SSH_IDENTITY"))
        settings.identityFile = identity;
    if (const char* timeout = std::getenv("QORCOM_SSH_TIMEOUT")) {
        const long seconds = std::strtol(timeout, nullptr, 10);
        if (seconds > 0 && seconds <= 3600)
            settings.timeout = std::chrono::seconds(seconds);
    }
    return settings;
}

struct SftpClient::Impl {
    ssh_session session = nullptr;
    sftp_session sftp = nullptr;

    ~Impl() { Close(); }

    void Close() {
        if (sftp)
            sftp_free(sftp);
        sftp = nullptr;
        if (session) {
            ssh_disconnect(session);
            ssh_free(session);
        }
        session = nullptr;
    }

    bool Fail(std::string* error, const std::string& text) {
        *error = text;
        return false;
    }

    bool SftpFail(std::string* error, const std::string& what) {
        return Fail(error, what + ": " + SftpErrorText(sftp, session));
    }

    bool CheckHostKey(const std::string& host, const SshSettings& settings, std::string* error) {
        const std::string fingerprint = Fingerprint(session);
        switch (ssh_session_is_known_server(session)) {
            case SSH_KNOWN_HOSTS_OK:
                return true;
            case SSH_KNOWN_HOSTS_CHANGED:
            case SSH_KNOWN_HOSTS_OTHER:
                return Fail(error, "The host key of " + host + " has changed (it is now " +
                                       fingerprint +
                                       "): the server may be an impostor, so the connection was "
                                       "refused. If the key was replaced on purpose, remove the "
                                       "host's line from " +
                                       settings.knownHostsFile + ".");
            case SSH_KNOWN_HOSTS_UNKNOWN:
            case SSH_KNOWN_HOSTS_NOT_FOUND:
                break;
            case SSH_KNOWN_HOSTS_ERROR:
            default:
                return Fail(error, std::string("Unable to check the host key of ") + host + ": " +
                                       ssh_get_error(session));
        }
        if (settings.strictHostKeys)
            return Fail(error, "The host key of " + host + " (" + fingerprint +
                                   ") is not known and strict host-key checking is on, so the "
                                   "connection was refused. Add the key to " +
                                   settings.knownHostsFile + ".");
        std::error_code ignored;
        std::filesystem::create_directories(
            std::filesystem::path(settings.knownHostsFile).parent_path(), ignored);
        if (ssh_session_update_known_hosts(session) != SSH_OK)
            return Fail(error, "Unable to record the host key of " + host + " in " +
                                   settings.knownHostsFile + ": " + ssh_get_error(session));
        return true;
    }

    // One keyboard-interactive exchange: a single hidden prompt gets the password, once.
    int KeyboardInteractive(const std::string& password) {
        bool answered = false;
        int rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        while (rc == SSH_AUTH_INFO) {
            const int prompts = ssh_userauth_kbdint_getnprompts(session);
            if (prompts == 1) {
                char echo = 1;
                ssh_userauth_kbdint_getprompt(session, 0, &echo);
                if (echo || answered)
                    return SSH_AUTH_DENIED;
                if (ssh_userauth_kbdint_setanswer(session, 0, password.c_str()) < 0)
                    return SSH_AUTH_ERROR;
                answered = true;
            } else if (prompts != 0) {
                return SSH_AUTH_DENIED;
            }
            rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        }
        return rc;
    }

    int PublicKey(const SshSettings& settings) {
        if (settings.identityFile.empty())
            return ssh_userauth_publickey_auto(session, nullptr, nullptr);
        ssh_key key = nullptr;
        if (ssh_pki_import_privkey_file(settings.identityFile.c_str(), nullptr, nullptr, nullptr,
                                        &key) != SSH_OK)
            return SSH_AUTH_DENIED;
        const int rc = ssh_userauth_publickey(session, nullptr, key);
        ssh_key_free(key);
        return rc;
    }

    bool LogIn(const std::string& user, const std::string& password, const SshSettings& settings,
               std::string* error) {
        int rc = ssh_userauth_none(session, nullptr);
        if (rc == SSH_AUTH_SUCCESS)
            return true;
        if (rc == SSH_AUTH_ERROR)
            return Fail(error, std::string("Login failed: ") + ssh_get_error(session));
        const int methods = ssh_userauth_list(session, nullptr);
        if (!password.empty() && (methods & SSH_AUTH_METHOD_PASSWORD) &&
            ssh_userauth_password(session, nullptr, password.c_str()) == SSH_AUTH_SUCCESS)
            return true;
        if (!password.empty() && (methods & SSH_AUTH_METHOD_INTERACTIVE) &&
            KeyboardInteractive(password) == SSH_AUTH_SUCCESS)
            return true;
        if ((methods & SSH_AUTH_METHOD_PUBLICKEY) && PublicKey(settings) == SSH_AUTH_SUCCESS)
            return true;
        return Fail(error, "Login failed for user " + user + ": " + ssh_get_error(session));
    }
};

SftpClient::SftpClient() : impl_(std::make_unique<Impl>()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { ssh_init(); });
}

SftpClient::~SftpClient() = default;

bool SftpClient::Connect(const std::string& host, std::uint16_t port, const std::string& user,
                         const std::string& password, const SshSettings& settings,
                         std::string* error) {
    impl_->Close();
    impl_->session = ssh_new();
    if (!impl_->session)
        return impl_->Fail(error, "Unable to create an SSH session.");
    ssh_session s = impl_->session;
    const unsigned int portNumber = port;
    const long timeout = static_cast<long>(settings.timeout.count());
    const int nodelay = 1;
    const bool processConfig = false;  // the user's ~/.ssh/config must not change our choices
    const std::string userFile =
        settings.userKnownHostsFile.empty() ? "/dev/null" : settings.userKnownHostsFile;
    if (ssh_options_set(s, SSH_OPTIONS_HOST, host.c_str()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PORT, &portNumber) != SSH_OK ||
        (!user.empty() && ssh_options_set(s, SSH_OPTIONS_USER, user.c_str()) != SSH_OK) ||
        ssh_options_set(s, SSH_OPTIONS_TIMEOUT, &timeout) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_NODELAY, &nodelay) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, settings.knownHostsFile.c_str()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, userFile.c_str()) != SSH_OK) {
        const std::string text =
            std::string("Unable to set up the SSH session: ") + ssh_get_error(s);
        impl_->Close();
        return impl_->Fail(error, text);
    }
    std::string failure;
    if (ssh_connect(s) != SSH_OK)
        failure = "Unable to connect to " + host + " port " + std::to_string(port) + ": " +
                  ssh_get_error(s);
    else if (impl_->CheckHostKey(host, settings, &failure) &&
             impl_->LogIn(user, password, settings, &failure)) {
        impl_->sftp = sftp_new(s);
        if (!impl_->sftp)
            failure = std::string("Unable to open the SFTP channel: ") + ssh_get_error(s);
        else if (sftp_init(impl_->sftp) != SSH_OK)
            failure = "Unable to start SFTP: " + SftpErrorText(impl_->sftp, s);
        else
            return true;
    }
    impl_->Close();
    return impl_->Fail(error, failure);
}

void SftpClient::Disconnect() {
    impl_->Close();
}

bool SftpClient::IsConnected() const {
    return impl_->sftp != nullptr;
}

bool SftpClient::Put(const std::string& localPath, const std::string& remotePath,
                     std::string* error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> local(std::fopen(localPath.c_str(), "rb"),
                                                          &std::fclose);
    if (!local)
        return impl_->Fail(error, "Unable to open file on local machine");
    sftp_file remote =
        sftp_open(impl_->sftp, remotePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!remote)
        return impl_->SftpFail(error, "Unable to create " + remotePath);
    std::vector<char> block(kLocalBlock);
    bool ok = true;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), local.get());
        for (std::size_t done = 0; ok && done < got;) {
            const ssize_t written =
                sftp_write(remote, block.data() + done, std::min(kWriteChunk, got - done));
            if (written <= 0)
                ok = impl_->SftpFail(error, "Unable to write " + remotePath);
            else
                done += static_cast<std::size_t>(written);
        }
        if (!ok || got < block.size())
            break;
    }
    if (ok && std::ferror(local.get()))
        ok = impl_->Fail(error, "Unable to read the local file " + localPath);
    if (sftp_close(remote) != SSH_NO_ERROR && ok)
        ok = impl_->SftpFail(error, "Unable to finish " + remotePath);
    return ok;
}

bool SftpClient::Get(const std::string& remotePath, const std::string& localPath,
                     std::string* error) {
    sftp_file remote = sftp_open(impl_->sftp, remotePath.c_str(), O_RDONLY, 0);
    if (!remote)
        return impl_->SftpFail(error, "Unable to open " + remotePath);
    std::unique_ptr<sftp_file_struct, int (*)(sftp_file)> closer(remote, &sftp_close);
    platform::AtomicFileWriter writer(localPath);
    if (!writer.Open())
        return impl_->Fail(error, "Unable to open file on local machine");
    // Requests are answered in order; every answer but the last must be a whole chunk, since
    // the next request was made for the offset after it. A short answer followed by more data
    // would leave a hole, so it fails the download rather than corrupting the copy.
    std::deque<int> pending;
    bool ended = false;
    auto request = [&] {
        const int id = sftp_async_read_begin(remote, kReadChunk);
        if (id < 0)
            return false;
        pending.push_back(id);
        return true;
    };
    for (int i = 0; i < kReadsInFlight; ++i)
        if (!request())
            return impl_->SftpFail(error, "Unable to read " + remotePath);
    std::vector<char> buffer(kReadChunk);
    while (!pending.empty()) {
        const int id = pending.front();
        pending.pop_front();
        const int got =
            sftp_async_read(remote, buffer.data(), kReadChunk, static_cast<uint32_t>(id));
        if (got < 0)
            return impl_->SftpFail(error, "Unable to read " + remotePath);
        if (got == 0) {
            ended = true;
            continue;
        }
        if (ended)
            return impl_->Fail(error, "Unable to read " + remotePath +
                                          ": the server answered with pieces out of place");
        if (!writer.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return impl_->Fail(error, "Unable to write the local file " + localPath);
        if (static_cast<std::uint32_t>(got) < kReadChunk)
            ended = true;
        else if (!ended && !request())
            return impl_->SftpFail(error, "Unable to read " + remotePath);
    }
    if (!writer.Commit())
        return impl_->Fail(error, "Unable to write the local file " + localPath);
    return true;
}

bool SftpClient::Remove(const std::string& path, std::string* error) {
    return sftp_unlink(impl_->sftp, path.c_str()) == 0 ||
           impl_->SftpFail(error, "Unable to delete " + path);
}

bool SftpClient::MakeDir(const std::string& path, std::string* error) {
    return sftp_mkdir(impl_->sftp, path.c_str(), 0755) == 0 ||
           impl_->SftpFail(error, "Unable to make directory " + path);
}

bool SftpClient::RemoveDir(const std::string& path, std::string* error) {
    return sftp_rmdir(impl_->sftp, path.c_str()) == 0 ||
           impl_->SftpFail(error, "Unable to remove directory " + path);
}

bool SftpClient::Rename(const std::string& from, const std::string& to, std::string* error,
                        bool replace) {
    if (sftp_rename(impl_->sftp, from.c_str(), to.c_str()) == 0)
        return true;
    if (replace) {
        sftp_attributes existing = sftp_lstat(impl_->sftp, to.c_str());
        if (existing) {
            sftp_attributes_free(existing);
            if (sftp_unlink(impl_->sftp, to.c_str()) == 0 &&
                sftp_rename(impl_->sftp, from.c_str(), to.c_str()) == 0)
                return true;
        }
    }
    return impl_->SftpFail(error, "Unable to rename " + from + " to " + to);
}

bool SftpClient::SetModificationTime(const std::string& path, std::time_t modified,
                                     std::string* error) {
    timeval times[2] = {{modified, 0}, {modified, 0}};
    return sftp_utimes(impl_->sftp, path.c_str(), times) == 0 ||
           impl_->SftpFail(error, "Unable to set the time of " + path);
}

bool SftpClient::List(const std::string& directory,
                      const std::function<void(const DirEntry&, const std::string&)>& entry,
                      std::string* error) {
    sftp_dir dir = sftp_opendir(impl_->sftp, directory.c_str());
    if (!dir)
        return impl_->SftpFail(error, "Unable to list " + directory);
    while (sftp_attributes a = sftp_readdir(impl_->sftp, dir)) {
        DirEntry description;
        description.name = a->name ? a->name : "";
        description.isDirectory = a->type == SSH_FILEXFER_TYPE_DIRECTORY;
        description.isRegular = a->type == SSH_FILEXFER_TYPE_REGULAR;
        description.modified = static_cast<std::time_t>(a->mtime);
        description.size = a->size;
        entry(description, ListingLine(*a));
        sftp_attributes_free(a);
    }
    const bool complete = sftp_dir_eof(dir) == 1;
    if (!complete)
        impl_->SftpFail(error, "Unable to list " + directory);
    sftp_closedir(dir);
    return complete;
}

bool SftpClient::Execute(const std::string& command, std::string* output, std::string* error) {
    output->clear();
    ssh_channel channel = ssh_channel_new(impl_->session);
    if (!channel)
        return impl_->Fail(
            error, std::string("Unable to open a channel: ") + ssh_get_error(impl_->session));
    std::unique_ptr<ssh_channel_struct, void (*)(ssh_channel)> owner(channel, &ssh_channel_free);
    if (ssh_channel_open_session(channel) != SSH_OK ||
        ssh_channel_request_exec(channel, command.c_str()) != SSH_OK)
        return impl_->Fail(
            error, std::string("Unable to run the command: ") + ssh_get_error(impl_->session));
    char buffer[16 * 1024];
    auto keep = [&](int got) {
        output->append(buffer, static_cast<std::size_t>(got));
        if (output->size() > kCommandOutputLimit)
            output->erase(0, output->size() - kCommandOutputLimit);
    };
    // Both streams are drained as output arrives, so a command writing much to one of them
    // cannot stall on a full window of the other.
    for (;;) {
        // SSH_EOF only says the stream has ended.
        int out = ssh_channel_read_timeout(channel, buffer, sizeof buffer, 0, 100);
        if (out > 0)
            keep(out);
        int err = ssh_channel_read_nonblocking(channel, buffer, sizeof buffer, 1);
        if (err > 0)
            keep(err);
        out = out == SSH_EOF ? 0 : out;
        err = err == SSH_EOF ? 0 : err;
        if (out < 0 || err < 0)
            return impl_->Fail(error, std::string("Unable to read the command's output: ") +
                                          ssh_get_error(impl_->session));
        if (out == 0 && err == 0 && ssh_channel_is_eof(channel))
            break;
    }
    ssh_channel_send_eof(channel);
    const int status = ssh_channel_get_exit_status(channel);
    ssh_channel_close(channel);
    if (status != 0) {
        *error = "The command ended with status " + std::to_string(status);
        return false;
    }
    return true;
}

}  // namespace tw::platform
