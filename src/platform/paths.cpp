#include "platform/paths.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw::platform {
namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool HasDrivePrefix(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string ForwardSlashes(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

// Splits a UNC path into server, share and the rest (forward slashes, no leading separator).
bool SplitUnc(std::string_view stored, std::string& server, std::string& share, std::string& rest) {
    std::string path = ForwardSlashes(stored);
    std::string_view body(path);
    if (body.size() >= 6 && EqualsIgnoreCase(body.substr(0, 6), "smb://")) {
        body.remove_prefix(6);
    } else if (body.size() >= 2 && body[0] == '/' && body[1] == '/') {
        body.remove_prefix(2);
    } else {
        return false;
    }
    const auto serverEnd = body.find('/');
    server.assign(body.substr(0, serverEnd));
    if (server.empty() || serverEnd == std::string_view::npos)
        return false;
    body.remove_prefix(serverEnd + 1);
    const auto shareEnd = body.find('/');
    share.assign(body.substr(0, shareEnd));
    if (share.empty())
        return false;
    rest =
        shareEnd == std::string_view::npos ? std::string() : std::string(body.substr(shareEnd + 1));
    return true;
}

// target + "/" + tail, without doubling the separator.
std::string Graft(const std::string& target, std::string_view tail) {
    while (!tail.empty() && tail.front() == '/') tail.remove_prefix(1);
    if (tail.empty())
        return target;
    return AddSeparator(target) + std::string(tail);
}

}  // namespace

std::string AbsoluteDirectory(std::string_view directory) {
    if (directory.empty())
        return {};
    std::error_code error;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(directory), error);
    return AddSeparator(error ? std::string(directory) : absolute.string());
}

std::string AddSeparator(std::string_view directory) {
    std::string out(directory);
    if (!out.empty() && !IsSeparator(out.back()))
        out += '/';
    return out;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    return AddSeparator(directory) + std::string(name);
}

bool IsSafeFileName(std::string_view text, std::size_t maxBytes) {
    if (text.empty() || text.size() > maxBytes || text.front() == '.')
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f ||
            std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::string_view FileNamePart(std::string_view path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view DirectoryPart(std::string_view path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? std::string_view() : path.substr(0, pos + 1);
}

bool PathResolver::IsUncPath(std::string_view stored) {
    std::string server, share, rest;
    return SplitUnc(stored, server, share, rest);
}

bool PathResolver::AddMapping(std::string_view prefix, std::string_view target) {
    prefix = Trim(prefix);
    target = Trim(target);
    if (target.empty())
        return false;
    std::string dir(target);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (prefix.size() == 2 && HasDrivePrefix(prefix)) {
        drives_.emplace_back(Upper(prefix), dir);
        return true;
    }
    std::string server, share, rest;
    if (SplitUnc(prefix, server, share, rest) && rest.empty()) {
        shares_.emplace_back(Upper(server) + "/" + Upper(share), dir);
        return true;
    }
    return false;
}

std::optional<PathResolver> PathResolver::FromMapFile(const std::string& path, std::string* error) {
    PathResolver resolver;
    LineReader reader;
    if (!reader.Open(path))
        return resolver;
    std::string line;
    int number = 0;
    while (reader.ReadLine(line)) {
        ++number;
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == '#' || text.front() == ';')
            continue;
        const auto eq = text.find('=');
        if (eq == std::string_view::npos ||
            !resolver.AddMapping(text.substr(0, eq), text.substr(eq + 1))) {
            if (error) {
                *error = path + " line " + std::to_string(number) +
                         ": expected \"C: = /dir\" or \"\\\\server\\share = /dir\"";
            }
            return std::nullopt;
        }
    }
    return resolver;
}

bool PathResolver::Resolve(std::string_view stored, ResolvedPath& out, std::string* error) const {
    out = ResolvedPath{};
    if (stored.empty()) {
        if (error)
            *error = "Empty path.";
        return false;
    }
    std::string server, share, rest;
    if (SplitUnc(stored, server, share, rest)) {
        const std::string key = Upper(server) + "/" + Upper(share);
        for (const auto& [mapped, target] : shares_) {
            if (mapped == key) {
                out.kind = ResolvedPath::Kind::Local;
                out.path = Graft(target, rest);
                return true;
            }
        }
        out.kind = ResolvedPath::Kind::Network;
        out.server = server;
        out.share = share;
        out.rest = rest;
        out.path = "smb://" + server + "/" + share + (rest.empty() ? "" : "/" + rest);
        return true;
    }
    if (HasDrivePrefix(stored)) {
        const std::string drive = Upper(stored.substr(0, 2));
        for (const auto& [mapped, target] : drives_) {
            if (mapped == drive) {
                out.path = Graft(target, ForwardSlashes(stored.substr(2)));
                return true;
            }
        }
        if (error) {
            *error = "Drive " + drive + " is not mapped (add \"" + drive + " = /directory\" to " +
                     kMapFileName + ").";
        }
        return false;
    }
    out.path = ForwardSlashes(stored);
    return true;
}

std::optional<std::string> PathResolver::ResolveLocal(std::string_view stored,
                                                      std::string* error) const {
    ResolvedPath resolved;
    if (!Resolve(stored, resolved, error))
        return std::nullopt;
    if (resolved.kind != ResolvedPath::Kind::Local) {
        if (error) {
            *error = "Network path " + std::string(stored) + " is not mapped to a mounted share.";
        }
        return std::nullopt;
    }
    return resolved.path;
}

}  // namespace tw::platform
