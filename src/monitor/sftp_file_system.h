#pragma once
// POS directories reached over SFTP: a SalesPath or ImportDestinationPath stored as
// "sftp://user@host[:port]/dir/" (the user may be left out: the site's UserName is used; the
// password is the site's Password, else the SSH keys of the settings in platform/sftp_client.h,
// which also says how host keys are trusted). The path after the host is absolute on the
// server; "sftp://host/~/dir/" is relative to the login directory.

#include <ctime>
#include <optional>
#include <string>

#include "monitor/file_system.h"
#include "monitor/remote_path.h"
#include "platform/sftp_client.h"

namespace tw {

using SftpLocation = RemoteLocation;

// True for a stored path beginning "sftp://" (any case).
bool IsSftpPath(const std::string& stored);
// The parts of an sftp:// path; nullopt when it is not one or has no host or a bad port.
std::optional<SftpLocation> ParseSftpPath(const std::string& stored);

class SftpFileSystem : public FileSystem {
public:
    // logonPath: the site's POS directory (sftp://...); every path used must lie on its server.
    SftpFileSystem(std::string logonPath, std::string userName, std::string password,
                   platform::SshSettings settings = platform::SshSettingsFromEnvironment());

    char Separator() const override { return '/'; }
    // Connects and logs on; an open connection is kept until Disconnect.
    bool Connect() override;
    void Disconnect() override;
    bool KeepsFileTimes() const override { return false; }
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override;
    using FileSystem::SetFileTime;
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool flag) override;
    // The local file is replaced only by the complete download.
    bool GetFile(const std::string& path, const std::string& localPath) override;
    // Written under a temporary name beside the target and renamed over it.
    bool PutFile(const std::string& localPath, const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;

private:
    // The server path of a stored path, connecting first when needed; false with the error set.
    bool Remote(const std::string& stored, std::string& remote);
    bool Fail(const std::string& error);

    std::string logonPath_, userName_, password_;
    platform::SshSettings settings_;
    platform::SftpClient client_;
};

}  // namespace tw
