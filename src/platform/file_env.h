#pragma once
// The file operations of the sales path, behind one small interface. The sales path (receiving
// the POS's files, splitting journals, filing them, keeping its list of unfiled files) writes,
// renames, removes and syncs only through a FileEnv, so that a test can make the N-th write
// fail as a full disk does, stop every write after the N-th as a killed process does, and then
// throw away what was not synced as a power cut does. The order of syncs is what makes the
// path crash-safe; that simulation is how tests prove it.
//
// Temporary files: every file the sales path writes is written as ".~tw<name>.part" in the
// target's directory and renamed over the target when complete. No file mask of the system
// selects such a name, and the name is fixed, so a file left by a killed pass is simply
// written over by the next one (and swept away by the pass's clean-up, see IsPartialFileName).

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"

namespace tw::platform {

// A file being written. Owned by its creator and used by one thread at a time. Every failing
// call sets *error (when given) to the errno of the failure: ENOSPC for a full disk.
class WritableFile {
public:
    virtual ~WritableFile() = default;  // closes a file not yet closed
    virtual bool Append(std::string_view bytes, int* error) = 0;
    // Makes the bytes written so far durable.
    virtual bool Sync(int* error) = 0;
    // Closes. A file whose Close failed may have lost written bytes.
    virtual bool Close(int* error) = 0;
};

// What Stat tells of one path, without following a symbolic link at it.
struct PathStatus {
    enum class Kind { Regular, Directory, Other };  // Other: a link, a FIFO, a device, a socket
    Kind kind = Kind::Other;
    std::uint64_t size = 0;
    std::time_t modified = 0;  // last write, UTC seconds
    unsigned permissions = 0;  // the permission bits (0777)
};

// File operations on local paths. Implementations are thread-safe: the sales path and the
// maintenance sender use the same object from two threads. Failing calls return false and set
// *error (when given) to errno; nothing is reported to the message objects here.
class FileEnv {
public:
    virtual ~FileEnv() = default;

    // Creates path for writing (truncating a file already there), never through a symbolic link
    // at path. A new file gets permissions less the umask (by default the mode any program's new
    // file gets).
    virtual std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int* error,
                                                          unsigned permissions = 0666) = 0;
    // Renames within one file system, replacing an existing target.
    virtual bool Rename(const std::string& from, const std::string& to, int* error) = 0;
    virtual bool RemoveFile(const std::string& path, int* error) = 0;
    // Fails with EEXIST when something of that name is there.
    virtual bool MakeDirectory(const std::string& path, int* error) = 0;
    // Removes an empty directory.
    virtual bool RemoveDirectory(const std::string& path, int* error) = 0;
    // Sets the last-write time only.
    virtual bool SetModificationTime(const std::string& path, std::time_t utcSeconds,
                                     int* error) = 0;
    // Makes the creations, renames and removals of the directory's entries durable.
    virtual bool SyncDirectory(const std::string& directory, int* error) = 0;
    // Makes everything written to the file system holding path durable (syncfs): one call
    // instead of one sync per small file.
    virtual bool SyncFileSystem(const std::string& path, int* error) = 0;

    // Reading. Never injected with faults: a test's power cut concerns what was written.
    virtual bool ReadFile(const std::string& path, std::string& content, int* error);
    virtual bool Stat(const std::string& path, PathStatus& status, int* error);
    // Every entry but "." and "..", described without following links.
    virtual bool ListNames(const std::string& directory, std::vector<std::string>& names,
                           int* error);
};

// The real file system. Lives for the whole process.
FileEnv& DefaultFileEnv();

// ".~tw<name>.part" in the directory of path: the partial file a write of path goes through.
std::string PartialFilePath(std::string_view path);
// Whether a file name is such a partial file.
bool IsPartialFileName(std::string_view name);
// Whether a file name is any temporary file of the program (".~tw..."): a partial file, or one
// an AtomicFileWriter or a temporary file beside its target uses.
bool IsTemporaryFileName(std::string_view name);

// Writes bytes to path through its partial file and renames it into place: readers see the old
// file or the whole new one. With sync the file's bytes are durable before the rename (the
// rename itself is durable once the directory is synced). On failure the partial file is
// removed and the target is unchanged.
bool WriteFileThroughPartial(FileEnv& env, const std::string& path, std::string_view bytes,
                             bool sync, int* error);

// Copies the regular file from over to in the same way, giving the copy from's last-write time.
// A target that exists keeps its permissions (less the umask): a private file stays private.
// from is opened without following a link and without blocking: a link, a FIFO or a device is
// refused (EINVAL), never read. With sync the copy is durable when this returns (the file, then
// the directory entry).
bool CopyFileThroughPartial(FileEnv& env, const std::string& from, const std::string& to, bool sync,
                            int* error);

// Whether two files hold the same bytes (false when either cannot be read).
bool SameFileContent(FileEnv& env, const std::string& a, const std::string& b);

}  // namespace tw::platform
