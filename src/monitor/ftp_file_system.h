#pragma once
// POS directories reached over FTP: a SalesPath or ImportDestinationPath stored as
// "ftp://user@host[:port]/dir/" (plain) or "ftps://user@host[:port]/dir/" (explicit TLS on the
// control and every data connection). The user may be left out: the site's UserName is used;
// the password is the site's Password. The path after the host is absolute on the server;
// "ftp://host/~/dir/" is relative to the login directory. Waits and lengths are bounded by
// the FTP engine's limits (QORCOM_FTP_* in the environment).

#include <optional>
#include <string>

#include "monitor/file_system.h"
#include "monitor/remote_path.h"
#include "platform/file_ops.h"
#include "qorcom/transfer/ftp_client.h"

namespace tw {

struct FtpLocation : RemoteLocation {
    bool secure = false;  // ftps://
};

// True for a stored path beginning "ftp://" or "ftps://" (any case).
bool IsFtpPath(const std::string& stored);
// The parts of an ftp:// or ftps:// path (port 21 when left out); nullopt when it is not one
// or has no host or a bad port.
std::optional<FtpLocation> ParseFtpPath(const std::string& stored);

// The modification time of an MDTM reply ("213 YYYYMMDDHHMMSS[.fff]", UTC); nullopt when the
// reply is not one.
std::optional<std::time_t> ParseMdtmReply(const std::string& reply);

// One entry of a LIST reply (Unix or DOS form) as a directory entry, its time from the listing;
// nullopt for a line that is neither form, or for "." and "..". A Unix entry's first letter
// names its kind: only '-' is a plain file, so links ('l', named without their " -> target")
// and specials ('p', 'c', 'b', 's') are never taken for files.
std::optional<platform::DirEntry> ReadListingLine(const std::string& line,
                                                  const platform::OleDate& now);

class FtpFileSystem : public FileSystem {
public:
    // logonPath: the site's POS directory (ftp://... or ftps://...); every path used must lie
    // on its server.
    FtpFileSystem(std::string logonPath, std::string userName, std::string password);

    char Separator() const override { return '/'; }
    // Connects and logs on; an open connection is kept until Disconnect.
    bool Connect() override;
    void Disconnect() override;
    bool KeepsFileTimes() const override { return false; }
    // By MFMT where the server has it; otherwise the time is left as the upload made it.
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override;
    using FileSystem::SetFileTime;
    // Lists with LIST; the times of matching files come from MDTM (to the second) where the
    // server has it, else from the listing. Links and special files are flagged as special.
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool flag) override;
    // The local file is replaced only by the complete download.
    bool GetFile(const std::string& path, const std::string& localPath) override;
    // Written under a temporary name beside the target and renamed over it (RNFR/RNTO).
    bool PutFile(const std::string& localPath, const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;

private:
    // The server path of a stored path, connecting first when needed; false with the error set.
    bool Remote(const std::string& stored, std::string& remote);
    bool Fail(const std::string& error);
    bool FailCommand();
    std::optional<std::time_t> ModificationTime(const std::string& remote);

    std::string logonPath_, userName_, password_;
    qorcom::transfer::FtpClient client_;
    bool hasMdtm_ = true;  // until the server refuses it
    bool hasMfmt_ = true;
};

}  // namespace tw
