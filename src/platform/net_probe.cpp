#include "platform/net_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace tw::platform {

bool IsHostReachable(const std::string& host, int port, std::chrono::milliseconds timeout) {
    std::string name = host;
    std::string service = std::to_string(port);
    const auto colon = name.rfind(':');
    if (colon != std::string::npos && name.find(':') == colon) {  // not an IPv6 literal
        service = name.substr(colon + 1);
        name.resize(colon);
    }
    if (name.empty())
        return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), service.c_str(), &hints, &found) != 0)
        return false;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, &::freeaddrinfo);
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS) {
            pollfd pfd{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::poll(&pfd, 1, static_cast<int>(timeout.count())) == 1 &&
                        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
}

}  // namespace tw::platform
