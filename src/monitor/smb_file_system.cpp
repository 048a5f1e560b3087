#include "monitor/smb_file_system.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/file_ops.h"
#include "platform/system_text.h"
#include "platform/text_file.h"

namespace tw {
namespace {

std::string DomainOf(const std::string& userName) {
    std::string domain, user;
    SplitDomainUser(userName, domain, user);
    return domain;
}

std::string UserOf(const std::string& userName) {
    std::string domain, user;
    SplitDomainUser(userName, domain, user);
    return user;
}

}  // namespace

void SplitDomainUser(const std::string& userName, std::string& domain, std::string& user) {
    const auto separator = userName.find_first_of("\\/");
    if (separator == std::string::npos) {
        domain.clear();
        user = userName;
    } else {
        domain = userName.substr(0, separator);
        user = userName.substr(separator + 1);
    }
}

SmbFileSystem::SmbFileSystem(std::string logonPath, const std::string& userName,
                             std::string password, platform::PathResolver resolver)
    : logonPath_(std::move(logonPath)),
      hasUser_(!userName.empty()),
      resolver_(std::move(resolver)),
      client_(DomainOf(userName), UserOf(userName), std::move(password)) {}

bool SmbFileSystem::Url(const std::string& stored, std::string& url) {
    platform::ResolvedPath resolved;
    std::string error;
    if (!resolver_.Resolve(stored, resolved, &error)) {
        SetLastError(error);
        return false;
    }
    if (resolved.kind != platform::ResolvedPath::Kind::Network) {
        SetLastError(stored + " is not on a network share.");
        return false;
    }
    url = resolved.path;
    while (url.size() > 6 && url.back() == '/') url.pop_back();
    return true;
}

bool SmbFileSystem::Fail(const std::string& what, int error) {
    SetLastError(what + "  Error " + std::to_string(error) + ": " +
                 platform::SystemErrorText(error));
    return false;
}

bool SmbFileSystem::Connect() {
    if (logonPath_.empty() || !hasUser_)
        return true;
    platform::ResolvedPath resolved;
    std::string error;
    if (!resolver_.Resolve(logonPath_, resolved, &error) ||
        resolved.kind != platform::ResolvedPath::Kind::Network) {
        return true;  // not a share: nothing to log on to
    }
    const std::string share = "smb://" + resolved.server + "/" + resolved.share;
    int code = 0;
    if (client_.Connect(share, &code))
        return true;
    char text[1024];
    std::snprintf(text, sizeof text, "Unable to establish network connection.  Error %d.  %s", code,
                  platform::SystemErrorText(code).c_str());
    SetLastError(text);
    return false;
}

void SmbFileSystem::SetFileTime(const std::string& path, const platform::OleDate& modified) {
    std::string url;
    std::time_t when = 0;
    if (!Url(path, url) || !modified.ToFileTime(when))
        return;
    int error = 0;
    if (!client_.SetModificationTime(url, when, &error)) {
        Fail("Unable to set the time of " + path + ".", error);
    }
}

bool SmbFileSystem::List(DirFileList& list, const std::string& directory, const std::string& mask,
                         bool /*flag*/) {
    list.Clear(directory);
    std::string url;
    if (!Url(directory, url))
        return false;
    std::vector<platform::DirEntry> entries;
    int error = 0;
    if (!client_.List(url, entries, &error)) {
        return FailListing(directory + (mask.empty() ? "*.*" : mask), error);
    }
    SetLastError({});
    AddMatching(list, directory, mask, entries);
    return !list.Empty();
}

bool SmbFileSystem::GetFile(const std::string& path, const std::string& localPath) {
    std::string url;
    if (!Url(path, url))
        return false;
    // Read into a temporary file beside the local target, then rename: the target is never
    // seen half-written, and a dropped connection leaves an existing target as it was.
    std::string directory(platform::DirectoryPart(localPath));
    auto temp = platform::TempFile::Create(".~tw", directory.empty() ? "." : directory);
    if (!temp)
        return Fail("Unable to create a file in " + directory + ".", errno);
    temp->Close();
    int error = 0;
    if (!client_.Download(url, temp->Path(), &error))
        return Fail("Unable to read " + path + ".", error);
    if (!platform::RenameFile(temp->Path(), localPath, &error)) {
        return Fail("Unable to replace " + localPath + ".", error);
    }
    temp->Keep();
    return true;
}

bool SmbFileSystem::PutFile(const std::string& localPath, const std::string& path) {
    std::string url;
    if (!Url(path, url))
        return false;
    int error = 0;
    if (!client_.Upload(localPath, url, &error))
        return Fail("Unable to write " + path + ".", error);
    return true;
}

bool SmbFileSystem::DeleteFile(const std::string& path) {
    std::string url;
    if (!Url(path, url))
        return false;
    int error = 0;
    if (!client_.Remove(url, &error))
        return Fail("Unable to delete " + path + ".", error);
    return true;
}

bool SmbFileSystem::CreateDirectory(const std::string& path) {
    std::string url;
    if (!Url(path, url))
        return false;
    int error = 0;
    if (!client_.MakeDirectory(url, &error))
        return Fail("Unable to create " + path + ".", error);
    return true;
}

}  // namespace tw
