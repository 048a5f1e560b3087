#pragma once
// Plain file and directory operations for the local file system, with errno on failure.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
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

// Writes all bytes to a descriptor, going on after partial writes and interruptions. False with
// errno set when a write fails.
bool WriteAll(int fd, std::string_view bytes);

// Sets the last-write time only (the access time is left alone).
bool SetModificationTime(const std::string& path, std::time_t utcSeconds, int* error);

bool RemoveFile(const std::string& path, int* error);
bool MakeDirectory(const std::string& path, int* error);
// Renames within one file system, replacing an existing target.
bool RenameFile(const std::string& from, const std::string& to, int* error);

}  // namespace tw::platform
