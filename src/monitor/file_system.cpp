#include "monitor/file_system.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "messages/program_messages.h"
#include "platform/file_ops.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw {

platform::OleDate FileInfo::LocalModified() const {
    platform::CivilTime civil;
    if (!modified.ToCivil(civil))
        return platform::OleDate::Invalid();
    const long long utc = platform::DaysFromCivil(civil.year, civil.month, civil.day) * 86400LL +
                          civil.hour * 3600 + civil.minute * 60 + civil.second;
    return platform::OleDate::FromFileTime(static_cast<std::time_t>(utc));
}

void FileSystem::AddSeparator(std::string& path) const {
    if (!path.empty() && !platform::IsSeparator(path.back()))
        path += Separator();
}

void FileSystem::SetFileTime(const std::string& directory, const std::string& name,
                             const platform::OleDate& modified) {
    std::string path = directory;
    AddSeparator(path);
    SetFileTime(path + name, modified);
}

bool FileSystem::FailListing(const std::string& pattern, int error) {
    char text[1024];
    std::snprintf(text, sizeof text, "Error finding file matching %s.  Error %d: %s",
                  pattern.c_str(), error, platform::SystemErrorText(error).c_str());
    SetLastError(text);
    SendMessageText(logMessages(), text);
    return false;
}

void FileSystem::AddMatching(DirFileList& list, const std::string& directory,
                             const std::string& mask, std::vector<platform::DirEntry>& entries) {
    for (auto& entry : entries) {
        if (!platform::MatchMask(mask, entry.name))
            continue;
        FileInfo info;
        info.directory = directory;
        info.name = std::move(entry.name);
        info.modified = platform::OleDate::FromFileTime(entry.modified);
        info.size = static_cast<std::uint32_t>(entry.size);
        info.isDirectory = entry.isDirectory;
        info.isSpecial = !entry.isDirectory && !entry.isRegular;
        list.Add(std::move(info));
    }
}

// ---- LocalWinFileSystem ----

LocalWinFileSystem::LocalWinFileSystem(platform::PathResolver resolver, platform::FileEnv* env)
    : resolver_(std::move(resolver)), env_(env != nullptr ? *env : platform::DefaultFileEnv()) {}

bool LocalWinFileSystem::Resolve(const std::string& stored, std::string& local) {
    std::string error;
    auto path = resolver_.ResolveLocal(stored, &error);
    if (!path) {
        SetLastError(error);
        return false;
    }
    local = std::move(*path);
    return true;
}

bool LocalWinFileSystem::FailWithErrno(const std::string& what, int error) {
    SetLastError(what + "  Error " + std::to_string(error) + ": " +
                 platform::SystemErrorText(error));
    return false;
}

void LocalWinFileSystem::SetFileTime(const std::string& path, const platform::OleDate& modified) {
    std::string local;
    std::time_t when = 0;
    if (!Resolve(path, local) || !modified.ToFileTime(when))
        return;
    int error = 0;
    if (!env_.SetModificationTime(local, when, &error)) {
        FailWithErrno("Unable to set the time of " + path + ".", error);
    }
}

bool LocalWinFileSystem::List(DirFileList& list, const std::string& directory,
                              const std::string& mask, bool /*flag*/) {
    list.Clear(directory);
    const std::string pattern = directory + (mask.empty() ? "*.*" : mask);
    std::string local;
    if (!Resolve(directory.empty() ? "." : directory, local)) {
        FormatMessageTo(logMessages(), "%s", GetLastErrorText().c_str());
        return false;
    }
    std::vector<platform::DirEntry> entries;
    int error = 0;
    if (!platform::ListDirectory(local, entries, &error))
        return FailListing(pattern, error);
    SetLastError({});
    AddMatching(list, directory, mask, entries);
    return !list.Empty();
}

bool LocalWinFileSystem::CopyFile(const std::string& from, const std::string& to) {
    std::string source, target;
    if (!Resolve(from, source) || !Resolve(to, target))
        return false;
    int error = 0;
    if (!platform::CopyFileThroughPartial(env_, source, target, true, &error)) {
        return FailWithErrno("Unable to copy " + from + " to " + to + ".", error);
    }
    return true;
}

bool LocalWinFileSystem::GetFile(const std::string& path, const std::string& localPath) {
    return CopyFile(path, localPath);
}

bool LocalWinFileSystem::PutFile(const std::string& localPath, const std::string& path) {
    return CopyFile(localPath, path);
}

bool LocalWinFileSystem::DeleteFile(const std::string& path) {
    std::string local;
    int error = 0;
    if (!Resolve(path, local))
        return false;
    if (!env_.RemoveFile(local, &error))
        return FailWithErrno("Unable to delete " + path + ".", error);
    return true;
}

bool LocalWinFileSystem::CreateDirectory(const std::string& path) {
    std::string local;
    int error = 0;
    if (!Resolve(path, local))
        return false;
    if (!env_.MakeDirectory(local, &error)) {
        return FailWithErrno("Unable to create " + path + ".", error);
    }
    return true;
}

}  // namespace tw
