#include "monitor/sftp_file_system.h"

#include <charconv>
#include <vector>

#include "platform/wildcard.h"

namespace tw {
namespace {

constexpr std::string_view kScheme = "sftp://";

}  // namespace

bool IsSftpPath(const std::string& stored) {
    return stored.size() >= kScheme.size() &&
           platform::EqualsIgnoreCase(std::string_view(stored).substr(0, kScheme.size()), kScheme);
}

std::optional<SftpLocation> ParseSftpPath(const std::string& stored) {
    if (!IsSftpPath(stored))
        return std::nullopt;
    std::string_view rest = std::string_view(stored).substr(kScheme.size());
    const auto slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    SftpLocation location;
    location.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (location.path.rfind("/~/", 0) == 0)
        location.path.erase(0, 3);
    else if (location.path == "/~")
        location.path = ".";
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        location.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    const auto colon = authority.rfind(':');
    const auto bracket = authority.rfind(']');  // an IPv6 address is written [::1]
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        const std::string_view portText = authority.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] =
            std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
            port > 65535)
            return std::nullopt;
        location.port = static_cast<std::uint16_t>(port);
        authority = authority.substr(0, colon);
    }
    if (authority.size() > 2 && authority.front() == '[' && authority.back() == ']')
        authority = authority.substr(1, authority.size() - 2);
    if (authority.empty())
        return std::nullopt;
    location.host = std::string(authority);
    return location;
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
