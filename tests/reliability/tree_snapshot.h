#pragma once
// What a directory tree holds, to tell whether a pass changed anything: every file and folder
// by relative path, with the size and a hash of the contents of each file.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tw::reliability {

struct FileState {
    bool isDirectory = false;
    std::uintmax_t size = 0;
    std::uint64_t hash = 0;  // FNV-1a of the contents
    bool operator==(const FileState&) const = default;
};

using TreeSnapshot = std::map<std::string, FileState>;

// The tree under root (empty when root is missing). Names in `ignored` (a bare file name, at
// any depth) are left out: a pass appends to its log whatever it does.
TreeSnapshot SnapshotTree(const std::string& root, const std::set<std::string>& ignored = {});

// Paths added, removed or changed between two snapshots, at most `limit` of them.
std::vector<std::string> TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after,
                                         std::size_t limit = 10);

// FNV-1a, 64 bits.
std::uint64_t HashBytes(const std::string& bytes);

// The whole file; *ok (when given) is false when it cannot be read.
std::string ReadFileBytes(const std::string& path, bool* ok = nullptr);

}  // namespace tw::reliability
