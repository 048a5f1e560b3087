#pragma once
// The POS's shared directories reached over SMB, for stored UNC paths that are not mapped to a
// mounted share ("\\POS1\Export\", "//POS1/Export/", "smb://POS1/Export/").

#include <string>

#include "monitor/file_system.h"
#include "platform/smb_client.h"

namespace tw {

class SmbFileSystem : public FileSystem {
public:
    // logonPath: a stored path on the share to log on to (the site's sales path); userName may
    // carry a domain ("DOMAIN\user"). With an empty user name no log-on is checked.
    SmbFileSystem(std::string logonPath, const std::string& userName, std::string password,
                  platform::PathResolver resolver = {});

    char Separator() const override { return '/'; }
    // Opens the share of logonPath with the credentials. Failure: "Unable to establish network
    // connection.  Error %d.  %s" (errno and its text).
    bool Connect() override;
    void Disconnect() override {}
    // Copies do not carry times over SMB; the transfer sets them afterwards.
    bool KeepsFileTimes() const override { return false; }
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override;
    using FileSystem::SetFileTime;
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool flag) override;
    bool GetFile(const std::string& path, const std::string& localPath) override;
    bool PutFile(const std::string& localPath, const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;

private:
    // The smb:// URL of a stored path; false (error set) when it does not lead to a share.
    bool Url(const std::string& stored, std::string& url);
    bool Fail(const std::string& what, int error);

    std::string logonPath_;
    bool hasUser_;
    platform::PathResolver resolver_;
    platform::SmbClient client_;
};

// Splits "DOMAIN\user" (or "DOMAIN/user") into its parts; no separator gives an empty domain.
void SplitDomainUser(const std::string& userName, std::string& domain, std::string& user);

}  // namespace tw
