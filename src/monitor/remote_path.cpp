#include "monitor/remote_path.h"

#include <charconv>

#include "platform/wildcard.h"

namespace tw {

bool HasScheme(const std::string& stored, std::string_view scheme) {
    return stored.size() >= scheme.size() &&
           platform::EqualsIgnoreCase(std::string_view(stored).substr(0, scheme.size()), scheme);
}

std::optional<RemoteLocation> ParseRemotePath(const std::string& stored, std::string_view scheme,
                                              std::uint16_t defaultPort) {
    if (!HasScheme(stored, scheme))
        return std::nullopt;
    std::string_view rest = std::string_view(stored).substr(scheme.size());
    const auto slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    RemoteLocation location;
    location.port = defaultPort;
    location.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (location.path.rfind("/~/", 0) == 0)
        location.path.erase(0, 3);
    else if (location.path == "/~")
        location.path = ".";
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        location.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    const auto colon = authority.rfind(':');
    const auto bracket = authority.rfind(']');  // an IPv6 address is written [::1]
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        const std::string_view portText = authority.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] =
            std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
            port > 65535)
            return std::nullopt;
        location.port = static_cast<std::uint16_t>(port);
        authority = authority.substr(0, colon);
    }
    if (authority.size() > 2 && authority.front() == '[' && authority.back() == ']')
        authority = authority.substr(1, authority.size() - 2);
    if (authority.empty())
        return std::nullopt;
    location.host = std::string(authority);
    return location;
}

}  // namespace tw
