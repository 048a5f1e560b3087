#pragma once
// Plain file and directory operations for the local file system, with errno on failure.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tw::platform {

struct DirEntry {
    std::string name;
    bool isDirectory = false;
    // A plain file itself, not a symbolic link (whatever it points to), a FIFO or a device.
    bool isRegular = false;
    std::time_t modified = 0;  // last write, UTC seconds
    std::uint64_t size = 0;
};

// Every entry of a directory, "." and ".." included, in the order the system gives. Entries
// that vanish while listed are skipped; symbolic links are described by their targets (and are
// never isRegular). False with *error = errno when the directory cannot be read.
bool ListDirectory(const std::string& directory, std::vector<DirEntry>& entries, int* error);

// Describes one path (following links). False with *error = errno.
bool StatPath(const std::string& path, DirEntry& entry, int* error);

// Copies a regular file over target (replacing it) and gives the copy the source's last-write
// time. The source's permission bits are not copied: an existing target keeps its mode, a new
// one gets that of a plainly created file (0666 less the umask). Data is flushed to disk before
// returning true. False with *error = errno; a partly written target is removed.
bool CopyFileKeepingTime(const std::string& from, const std::string& to, int* error);

// Sets the last-write time only (the access time is left alone).
bool SetModificationTime(const std::string& path, std::time_t utcSeconds, int* error);

bool RemoveFile(const std::string& path, int* error);
bool MakeDirectory(const std::string& path, int* error);
// Renames within one file system, replacing an existing target.
bool RenameFile(const std::string& from, const std::string& to, int* error);

}  // namespace tw::platform
