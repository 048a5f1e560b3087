#include "interop/loopback_wait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace tw::test {
namespace {

constexpr int kAttempts = 100;
constexpr auto kPause = std::chrono::milliseconds(100);

// A connected socket to 127.0.0.1:port, or -1.
int ConnectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

}  // namespace

bool AwaitListening(int port) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        std::this_thread::sleep_for(kPause);
    }
    return false;
}

bool AwaitGreeting(int port, std::string_view code) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            timeval wait{2, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            std::string buffer(code.size(), '\0');
            const bool greeted = ::recv(fd, buffer.data(), buffer.size(), MSG_WAITALL) ==
                                     static_cast<ssize_t>(buffer.size()) &&
                                 buffer == code;
            ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
            ::close(fd);
            if (greeted)
                return true;
        }
        std::this_thread::sleep_for(kPause);
    }
    return false;
}

}  // namespace tw::test
