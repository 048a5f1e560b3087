#pragma once
// Paths as stored by users and older installations ("C:\QOR\DATA\", "\\POS\Export") are kept
// as written and translated only where a file is opened, by one PathResolver.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw::platform {

inline bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The directory with one trailing separator: "/srv/qor" -> "/srv/qor/". A value that already
// ends in '/' or '\' is returned unchanged; an empty value stays empty.
std::string AddSeparator(std::string_view directory);

// A local POSIX directory as an absolute path with one trailing '/': a relative one is taken
// against the current directory (for a value that a program started elsewhere reads back, or
// a child started in another directory). An empty value, or one that cannot be made absolute,
// is returned with AddSeparator only.
std::string AbsoluteDirectory(std::string_view directory);

// AddSeparator(directory) + name.
std::string JoinPath(std::string_view directory, std::string_view name);

// The part after the last separator ('/' or '\'), and the part up to and including it.
std::string_view FileNamePart(std::string_view path);
std::string_view DirectoryPart(std::string_view path);

// Whether text may be used as one file name anywhere the system writes (a local disk or a
// Windows share): not empty, not "." or "..", no leading dot (hidden and temporary names), no
// path separator, control character or one of < > : " | ? *, at most maxBytes bytes. Letters of
// any language and blanks are fine.
bool IsSafeFileName(std::string_view text, std::size_t maxBytes = 200);

// Where a stored path leads.
struct ResolvedPath {
    enum class Kind {
        Local,    // a POSIX path on this machine (mapped drives and mounted shares included)
        Network,  // a share reached through SMB: smb://server/share/rest
    };
    Kind kind = Kind::Local;
    std::string path;    // Local: the POSIX path. Network: the smb:// URL.
    std::string server;  // Network only
    std::string share;   // Network only
    std::string
        rest;  // Network only: the path inside the share with '/' separators, no leading '/'
};

// Translates stored paths:
// - a POSIX path is used as is;
// - backslashes become '/';
// - a drive prefix ("C:") is looked up among the drive mappings; an unmapped drive is an error,
//   never a relative path;
// - a UNC path ("\\server\share\dir", "//server/share/dir", "smb://server/share/dir") leads to a
//   mapped mount point when "\\server\share" is mapped, else to the SMB share itself.
// Drive letters, servers and shares compare without regard to case. A trailing separator is
// kept. Thread-safe for concurrent Resolve calls once built.
class PathResolver {
public:
    PathResolver() = default;

    // Reads a mapping file: lines "C: = /srv/qor" or "\\server\share = /mnt/pos"; blank lines and
    // lines starting with '#' or ';' are ignored. A missing file gives a resolver without
    // mappings; *error is set (and nullopt returned) only for a file that exists but has a
    // malformed line.
    static std::optional<PathResolver> FromMapFile(const std::string& path, std::string* error);

    // The name of the mapping file in the program directory.
    static constexpr const char* kMapFileName = "PATHMAP";

    // prefix is "C:" (any case) or "\\server\share" in any UNC spelling; target a POSIX dir.
    bool AddMapping(std::string_view prefix, std::string_view target);

    // False with a readable *error for an unmapped drive, an empty path or a malformed UNC path.
    bool Resolve(std::string_view stored, ResolvedPath& out, std::string* error) const;

    // Resolve, requiring a Local result (a UNC path must be mapped to a mount point).
    std::optional<std::string> ResolveLocal(std::string_view stored, std::string* error) const;

    // True for "\\server\share...", "//server/share..." and "smb://server/share...".
    static bool IsUncPath(std::string_view stored);

private:
    std::vector<std::pair<std::string, std::string>> drives_;  // "C:" upper case -> target
    std::vector<std::pair<std::string, std::string>> shares_;  // "SERVER/SHARE" upper -> target
};

}  // namespace tw::platform
