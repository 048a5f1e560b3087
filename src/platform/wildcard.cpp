#include "platform/wildcard.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

#include "platform/paths.h"

namespace tw::platform {
namespace {

char Fold(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::string UpperCaseAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    }
    return true;
}

bool MatchMask(std::string_view mask, std::string_view name) {
    if (mask.empty() || mask == "*.*")
        return true;
    // Greedy match with one back-tracking point: the last '*' seen.
    std::size_t m = 0, n = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || Fold(mask[m]) == Fold(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::optional<std::string> FindExistingName(const std::string& directory, std::string_view name) {
    if (name.empty())
        return std::nullopt;
    const std::string exact = JoinPath(directory.empty() ? "." : directory, name);
    struct stat st {};
    if (::lstat(exact.c_str(), &st) == 0)
        return std::string(name);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.empty() ? "." : directory.c_str()),
                                            &::closedir);
    if (!dir)
        return std::nullopt;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (EqualsIgnoreCase(entry->d_name, name))
            return std::string(entry->d_name);
    }
    return std::nullopt;
}

std::string ExistingOrExactPath(const std::string& directory, std::string_view name) {
    if (auto found = FindExistingName(directory, name))
        return JoinPath(directory, *found);
    return JoinPath(directory, name);
}

}  // namespace tw::platform
