#pragma once
// The file systems through which the transfer code reaches the POS and the back office: it
// lists, copies, deletes and time-stamps only through a FileSystem, one for each side.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_env.h"
#include "platform/file_ops.h"
#include "platform/ole_date.h"
#include "platform/paths.h"

namespace tw {

// One directory entry, copied by value.
struct FileInfo {
    std::string directory;  // as passed to List, with its trailing separator
    std::string name;       // without directory
    platform::OleDate modified = platform::OleDate::Invalid();  // last write, local time
    std::uint32_t size = 0;                                     // low 32 bits of the size
    bool isDirectory = false;
    // Neither a plain file nor a directory: a symbolic link, a FIFO, a device. Never read.
    bool isSpecial = false;

    std::string Path() const { return directory + name; }
    // modified taken once more as UTC and converted to local time, as the sales intake has
    // always compared it.
    platform::OleDate LocalModified() const;
};

// Entries of one listing by name (case-sensitive key), in no particular order; callers that
// need an order impose it.
class DirFileList {
public:
    using Map = std::unordered_map<std::string, FileInfo>;

    void Clear(const std::string& directory) {
        directory_ = directory;
        entries_.clear();
    }
    void Add(FileInfo info) {
        const std::string key = info.name;
        entries_.emplace(key, std::move(info));
    }
    const std::string& Directory() const { return directory_; }
    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    const FileInfo* Find(const std::string& name) const {
        const auto it = entries_.find(name);
        return it == entries_.end() ? nullptr : &it->second;
    }
    Map::const_iterator begin() const { return entries_.begin(); }
    Map::const_iterator end() const { return entries_.end(); }

private:
    std::string directory_;
    Map entries_;
};

// A file system. Paths are given as stored in the settings (Windows or POSIX form) and are
// resolved by the implementation. One object belongs to one handler and is used by one thread
// at a time. Every failing operation leaves a readable text in GetLastErrorText.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual char Separator() const = 0;
    // Appends the separator when path is non-empty and does not end in one ('/' or '\').
    virtual void AddSeparator(std::string& path) const;
    virtual bool Connect() = 0;
    virtual std::string GetLastErrorText() const { return lastError_; }
    virtual void Disconnect() = 0;
    // Whether a copy made through this file system keeps the source's last-write time.
    virtual bool KeepsFileTimes() const = 0;
    virtual void SetFileTime(const std::string& path, const platform::OleDate& modified) = 0;
    void SetFileTime(const std::string& directory, const std::string& name,
                     const platform::OleDate& modified);
    // Empties list, records directory in it and adds every entry matching mask (without
    // regard to case; an empty mask means all). True when the list holds at least one entry.
    virtual bool List(DirFileList& list, const std::string& directory, const std::string& mask,
                      bool flag) = 0;
    // Copies a file of this file system to a local path.
    virtual bool GetFile(const std::string& path, const std::string& localPath) = 0;
    // Copies a local file into this file system; the target appears complete or not at all.
    virtual bool PutFile(const std::string& localPath, const std::string& path) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool CreateDirectory(const std::string& path) = 0;

protected:
    void SetLastError(std::string text) { lastError_ = std::move(text); }
    // Sets and logs "Error finding file matching %s.  Error %d: %s" for a directory that
    // cannot be listed; returns false.
    bool FailListing(const std::string& pattern, int error);
    // Adds the entries whose names match mask to list (modification times in local time).
    static void AddMatching(DirFileList& list, const std::string& directory,
                            const std::string& mask, std::vector<platform::DirEntry>& entries);

private:
    std::string lastError_;
};

// Files of this machine (and of shares mounted on it), with stored paths translated by a
// PathResolver. Separator is '/'. A network log-on does not exist here: shares are mounted
// beforehand or reached through the SMB file system. Every change goes through a FileEnv.
class LocalWinFileSystem : public FileSystem {
public:
    // env (not owned, must outlive the object; null: the real file system).
    explicit LocalWinFileSystem(platform::PathResolver resolver = {},
                                platform::FileEnv* env = nullptr);

    char Separator() const override { return '/'; }
    bool Connect() override { return true; }
    void Disconnect() override {}
    bool KeepsFileTimes() const override { return true; }
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override;
    using FileSystem::SetFileTime;
    // Lists directories and the "." and ".." entries too. A directory that cannot be read sets
    // "Error finding file matching %s.  Error %d: %s" and reports it to logMessages(); a
    // directory without matches returns false with an empty error.
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool flag) override;
    bool GetFile(const std::string& path, const std::string& localPath) override;
    bool PutFile(const std::string& localPath, const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;

    // Copies the regular file from over to, keeping the modification time: through a partial
    // file next to the target, renamed into place, so the target is never seen half-written,
    // and durable (file and directory entry synced) when this returns true. A link, a FIFO or
    // a device at from is refused, never read.
    virtual bool CopyFile(const std::string& from, const std::string& to);

protected:
    // The local path of a stored path; false (and the error set) when it cannot be resolved.
    bool Resolve(const std::string& stored, std::string& local);
    bool FailWithErrno(const std::string& what, int error);

private:
    platform::PathResolver resolver_;
    platform::FileEnv& env_;
};

}  // namespace tw
