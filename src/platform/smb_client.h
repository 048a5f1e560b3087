#pragma once
// A client of SMB shares (libsmbclient): the stand-in for Windows network log-ons to a POS's
// shared directories. Addresses are URLs "smb://server[:port]/share/dir/name".

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_ops.h"

namespace tw::platform {

struct SmbCredentials {
    std::string workgroup, user, password;
};

// One libsmbclient context with its own credentials. Not thread-safe: one object per thread.
// Failures return false with *error = errno as libsmbclient reports it (EACCES for a refused
// log-on, ENOENT, ETIMEDOUT, ...).
class SmbClient {
public:
    // workgroup may be empty. Anonymous log-on is never tried in place of the given user.
    SmbClient(std::string workgroup, std::string user, std::string password);
    ~SmbClient();
    SmbClient(const SmbClient&) = delete;
    SmbClient& operator=(const SmbClient&) = delete;

    // Creates the context and checks that url (a share or directory) can be opened.
    bool Connect(const std::string& url, int* error);

    bool List(const std::string& directoryUrl, std::vector<DirEntry>& entries, int* error);
    bool Stat(const std::string& url, DirEntry& entry, int* error);
    // Reads a remote file into a local file (replacing it).
    bool Download(const std::string& url, const std::string& localPath, int* error);
    // Writes a local file under a temporary name in the remote directory and renames it over
    // url, so a reader of the share never sees a partial file.
    bool Upload(const std::string& localPath, const std::string& url, int* error);
    bool Remove(const std::string& url, int* error);
    bool MakeDirectory(const std::string& url, int* error);
    bool SetModificationTime(const std::string& url, std::time_t utcSeconds, int* error);

private:
    struct Context;
    bool EnsureContext(int* error);

    SmbCredentials credentials_;  // read by libsmbclient's callback during calls
    std::unique_ptr<Context> context_;
};

}  // namespace tw::platform
