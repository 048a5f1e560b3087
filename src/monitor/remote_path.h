#pragma once
// Stored POS paths that name a directory on a server: "scheme://user@host[:port]/dir/". Shared
// by the SFTP and FTP file systems, which read them the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

struct RemoteLocation {
    std::string user;  // empty when left out: the site's UserName is used
    std::string host;  // an IPv6 address without its brackets
    std::uint16_t port = 0;
    std::string path;  // on the server: "/dir/name", or "dir/name" below the login directory
};

// True when stored begins with scheme ("sftp://"), in any case.
bool HasScheme(const std::string& stored, std::string_view scheme);

// The parts of stored after its scheme. The path after the host is absolute on the server;
// "/~/dir/" is relative to the login directory. nullopt when stored does not begin with
// scheme, or has no host or a bad port.
std::optional<RemoteLocation> ParseRemotePath(const std::string& stored, std::string_view scheme,
                                              std::uint16_t defaultPort);

}  // namespace tw
