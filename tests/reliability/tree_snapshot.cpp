#include "tree_snapshot.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tw::reliability {

namespace fs = std::filesystem;

std::uint64_t HashBytes(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string ReadFileBytes(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (ok != nullptr)
        *ok = static_cast<bool>(in) || in.eof();
    return bytes;
}

TreeSnapshot SnapshotTree(const std::string& root, const std::set<std::string>& ignored) {
    TreeSnapshot snapshot;
    std::error_code error;
    if (!fs::is_directory(root, error))
        return snapshot;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path& path = it->path();
        if (ignored.count(path.filename().string()) != 0)
            continue;
        FileState state;
        state.isDirectory = it->is_directory(error);
        if (!state.isDirectory) {
            const std::string bytes = ReadFileBytes(path.string());
            state.size = bytes.size();
            state.hash = HashBytes(bytes);
        }
        snapshot[fs::relative(path, root).string()] = state;
    }
    return snapshot;
}

std::vector<std::string> TreeDifferences(const TreeSnapshot& before, const TreeSnapshot& after,
                                         std::size_t limit) {
    std::vector<std::string> differences;
    const auto add = [&](const std::string& text) {
        if (differences.size() < limit)
            differences.push_back(text);
    };
    for (const auto& [path, state] : before) {
        const auto found = after.find(path);
        if (found == after.end()) {
            add("removed " + path);
        } else if (!(found->second == state)) {
            add("changed " + path);
        }
    }
    for (const auto& [path, state] : after) {
        if (before.count(path) == 0)
            add("added " + path);
    }
    return differences;
}

}  // namespace tw::reliability
