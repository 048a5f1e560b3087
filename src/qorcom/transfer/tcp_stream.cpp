#include "qorcom/transfer/tcp_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tw::qorcom::transfer {
namespace {

int ToPollTimeout(Milliseconds timeout) {
    return timeout.count() <= 0 ? -1 : static_cast<int>(timeout.count());
}

// Waits for events on fd; false with ETIMEDOUT or the poll error.
bool WaitFor(int fd, short events, Milliseconds timeout, int* error) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, ToPollTimeout(timeout));
        if (n > 0)
            return true;
        if (n == 0) {
            *error = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            *error = errno;
            return false;
        }
    }
}

}  // namespace

TcpStream::TcpStream(TcpStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), idle_(other.idle_) {}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        idle_ = other.idle_;
    }
    return *this;
}

bool TcpStream::Connect(const std::string& host, int port, Milliseconds connectTimeout,
                        Milliseconds idleTimeout, int* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        *error = EHOSTUNREACH;
        return false;
    }
    bool connected = false;
    for (addrinfo* a = found; a != nullptr && !connected; a = a->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, a->ai_addrlen);
        connected = Connect(address, a->ai_addrlen, connectTimeout, idleTimeout, error);
    }
    ::freeaddrinfo(found);
    return connected;
}

bool TcpStream::Connect(const sockaddr_storage& address, socklen_t length,
                        Milliseconds connectTimeout, Milliseconds idleTimeout, int* error) {
    Close();
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        if (errno != EINPROGRESS || !WaitFor(fd, POLLOUT, connectTimeout, error)) {
            if (errno != EINPROGRESS)
                *error = errno;
            ::close(fd);
            return false;
        }
        int soError = 0;
        socklen_t soLength = sizeof soError;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &soLength);
        if (soError != 0) {
            *error = soError;
            ::close(fd);
            return false;
        }
    }
    fd_ = fd;
    idle_ = idleTimeout;
    return true;
}

bool TcpStream::WaitReadable(int* error) const {
    if (fd_ < 0) {
        *error = ENOTCONN;
        return false;
    }
    return WaitFor(fd_, POLLIN, idle_, error);
}

long TcpStream::Read(char* buffer, std::size_t size, int* error) {
    for (;;) {
        if (!WaitReadable(error))
            return -1;
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            *error = errno;
            return -1;
        }
    }
}

bool TcpStream::WriteAll(const char* bytes, std::size_t size, int* error) {
    if (fd_ < 0) {
        *error = ENOTCONN;
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::send(fd_, bytes, size, MSG_NOSIGNAL);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *error = errno;
            return false;
        }
        if (!WaitFor(fd_, POLLOUT, idle_, error))
            return false;
    }
    return true;
}

void TcpStream::ShutdownWrite() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_WR);
}

void TcpStream::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TcpStream::LocalAddress(sockaddr_storage* address, socklen_t* length) const {
    *length = sizeof *address;
    return fd_ >= 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(address), length) == 0;
}

bool TcpStream::PeerAddress(sockaddr_storage* address, socklen_t* length) const {
    *length = sizeof *address;
    return fd_ >= 0 && ::getpeername(fd_, reinterpret_cast<sockaddr*>(address), length) == 0;
}

bool TcpListener::Listen(const sockaddr_storage& local, socklen_t length, int* error) {
    Close();
    sockaddr_storage any = local;
    SetAddressPort(&any, 0);
    const int fd = ::socket(local.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&any), length) != 0 || ::listen(fd, 5) != 0) {
        *error = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool TcpListener::LocalAddress(sockaddr_storage* address, socklen_t* length) const {
    *length = sizeof *address;
    return fd_ >= 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(address), length) == 0;
}

bool TcpListener::Accept(Milliseconds timeout, Milliseconds idleTimeout, TcpStream* stream,
                         int* error) {
    if (fd_ < 0) {
        *error = EBADF;
        return false;
    }
    for (;;) {
        if (!WaitFor(fd_, POLLIN, timeout, error))
            return false;
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            *stream = TcpStream(fd, idleTimeout);
            return true;
        }
        if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
            *error = errno;
            return false;
        }
    }
}

void TcpListener::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::string AddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text,
                    sizeof text);
    else if (address.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                    sizeof text);
    return text;
}

int AddressPort(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return 0;
}

void SetAddressPort(sockaddr_storage* address, int port) {
    if (address->ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(address)->sin_port = htons(static_cast<uint16_t>(port));
    else if (address->ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(address)->sin6_port = htons(static_cast<uint16_t>(port));
}

}  // namespace tw::qorcom::transfer
