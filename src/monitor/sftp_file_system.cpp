#include "monitor/sftp_file_system.h"

#include <vector>

namespace tw {
namespace {

constexpr std::string_view kScheme = "sftp://";

}  // namespace

bool IsSftpPath(const std::string& stored) {
    return HasScheme(stored, kScheme);
}

std::optional<SftpLocation> ParseSftpPath(const std::string& stored) {
    return ParseRemotePath(stored, kScheme, 22);
}

SftpFileSystem::SftpFileSystem(std::string logonPath, std::string userName, std::string password,
                               platform::SshSettings settings)
    : logonPath_(std::move(logonPath)),
      userName_(std::move(userName)),
      password_(std::move(password)),
      settings_(std::move(settings)) {}

bool SftpFileSystem::Fail(const std::string& error) {
    SetLastError(error);
    return false;
}

bool SftpFileSystem::Connect() {
    if (client_.IsConnected())
        return true;
    const auto location = ParseSftpPath(logonPath_);
    if (!location)
        return Fail(logonPath_ + " is not an SFTP address (sftp://user@host[:port]/dir/).");
    std::string error;
    if (!client_.Connect(location->host, location->port,
                         location->user.empty() ? userName_ : location->user, password_, settings_,
                         &error))
        return Fail(error);
    return true;
}

void SftpFileSystem::Disconnect() {
    client_.Disconnect();
}

bool SftpFileSystem::Remote(const std::string& stored, std::string& remote) {
    const auto location = ParseSftpPath(stored);
    const auto logon = ParseSftpPath(logonPath_);
    if (!location || !logon || location->host != logon->host || location->port != logon->port)
        return Fail(stored + " is not on the SFTP server of " + logonPath_ + ".");
    if (!Connect())
        return false;
    remote = location->path;
    while (remote.size() > 1 && remote.back() == '/') remote.pop_back();
    return true;
}

void SftpFileSystem::SetFileTime(const std::string& path, const platform::OleDate& modified) {
    std::string remote, error;
    std::time_t when = 0;
    if (!Remote(path, remote) || !modified.ToFileTime(when))
        return;
    if (!client_.SetModificationTime(remote, when, &error))
        Fail(error);
}

bool SftpFileSystem::List(DirFileList& list, const std::string& directory, const std::string& mask,
                          bool /*flag*/) {
    list.Clear(directory);
    std::string remote, error;
    if (!Remote(directory, remote))
        return false;
    std::vector<platform::DirEntry> entries;
    if (!client_.List(
            remote,
            [&](const platform::DirEntry& entry, const std::string&) { entries.push_back(entry); },
            &error))
        return Fail("Error finding file matching " + directory + (mask.empty() ? "*.*" : mask) +
                    ".  " + error);
    SetLastError({});
    AddMatching(list, directory, mask, entries);
    return !list.Empty();
}

bool SftpFileSystem::GetFile(const std::string& path, const std::string& localPath) {
    std::string remote, error;
    if (!Remote(path, remote))
        return false;
    return client_.Get(remote, localPath, &error) || Fail(error);
}

bool SftpFileSystem::PutFile(const std::string& localPath, const std::string& path) {
    std::string remote, error;
    if (!Remote(path, remote))
        return false;
    // The temporary name begins with ".~tw", which no file mask of the system selects.
    const auto slash = remote.rfind('/');
    const std::string temporary = (slash == std::string::npos ? "" : remote.substr(0, slash + 1)) +
                                  ".~tw" +
                                  remote.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!client_.Put(localPath, temporary, &error)) {
        std::string ignored;
        client_.Remove(temporary, &ignored);
        return Fail(error);
    }
    if (!client_.Rename(temporary, remote, &error, true)) {
        std::string ignored;
        client_.Remove(temporary, &ignored);
        return Fail(error);
    }
    return true;
}

bool SftpFileSystem::DeleteFile(const std::string& path) {
    std::string remote, error;
    if (!Remote(path, remote))
        return false;
    return client_.Remove(remote, &error) || Fail(error);
}

bool SftpFileSystem::CreateDirectory(const std::string& path) {
    std::string remote, error;
    if (!Remote(path, remote))
        return false;
    return client_.MakeDir(remote, &error) || Fail(error);
}

}  // namespace tw
