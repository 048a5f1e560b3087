#include "platform/tcp_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace tw::platform {
namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// One connection attempt to one address; the descriptor on success, else -1 with *error set.
int ConnectOne(const addrinfo& address, std::chrono::steady_clock::time_point deadline,
               int* error) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            *error = errno;
            ::close(fd);
            return -1;
        }
        pollfd pfd{fd, POLLOUT, 0};
        int ready;
        do ready = ::poll(&pfd, 1, RemainingMs(deadline));
        while (ready < 0 && errno == EINTR);
        int soError = 0;
        socklen_t length = sizeof soError;
        if (ready == 0)
            soError = ETIMEDOUT;
        else if (ready < 0)
            soError = errno;
        else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0)
            soError = errno;
        if (soError != 0) {
            *error = soError;
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

}  // namespace

std::optional<TcpStream> TcpStream::Connect(const std::string& host, std::uint16_t port,
                                            std::chrono::milliseconds timeout, std::string* error) {
    if (host.empty()) {
        *error = "No server given.";
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        *error = ::gai_strerror(rc);
        return std::nullopt;
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, &::freeaddrinfo);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int lastError = ETIMEDOUT;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ConnectOne(*a, deadline, &lastError);
        if (fd >= 0)
            return TcpStream(fd);
        if (RemainingMs(deadline) == 0)
            break;
    }
    *error = ErrnoText(lastError);
    return std::nullopt;
}

TcpStream::TcpStream(TcpStream&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

TcpStream::~TcpStream() {
    Close();
}

bool TcpStream::SendAll(std::string_view bytes, std::chrono::milliseconds timeout,
                        std::string* error) {
    if (fd_ < 0) {
        *error = "Not connected.";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (::poll(&pfd, 1, RemainingMs(deadline)) > 0)
                continue;
            *error = ErrnoText(ETIMEDOUT);
            return false;
        }
        *error = ErrnoText(sent < 0 ? errno : EPIPE);
        return false;
    }
    return true;
}

TcpStream::ReadStatus TcpStream::Read(char* buffer, std::size_t size,
                                      std::chrono::milliseconds timeout, std::size_t* received) {
    *received = 0;
    if (fd_ < 0)
        return ReadStatus::kClosed;
    pollfd pfd{fd_, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return ReadStatus::kTimeout;
    if (ready < 0)
        return ReadStatus::kError;
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    if (got > 0) {
        *received = static_cast<std::size_t>(got);
        return ReadStatus::kData;
    }
    if (got == 0)
        return ReadStatus::kClosed;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return ReadStatus::kTimeout;
    return ReadStatus::kError;
}

void TcpStream::Shutdown() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

void TcpStream::ShutdownSend() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_WR);
}

void TcpStream::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace tw::platform
