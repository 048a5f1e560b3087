#pragma once
// Blocking TCP connections with time-outs, for the transfer clients. Every wait is bounded: a
// connect by its own time-out, each read, write and accept by the idle time-out, so a silent
// peer fails the call with ETIMEDOUT instead of hanging an unattended poll. Writes use
// MSG_NOSIGNAL: a library must never let SIGPIPE kill its host.
//
// Failures return false (or -1) with errno-style codes in *error; nothing throws. Objects are
// used by one thread at a time.

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace tw::qorcom::transfer {

using Milliseconds = std::chrono::milliseconds;

// A byte stream the protocol engines read and write: a plain TCP connection, or a TLS channel
// over one.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Up to size bytes; 0 at the orderly end of the stream; -1 with *error on failure or when
    // nothing arrives within the idle time-out.
    virtual long Read(char* buffer, std::size_t size, int* error) = 0;
    // All of bytes, or false with *error.
    virtual bool WriteAll(const char* bytes, std::size_t size, int* error) = 0;
};

class TcpStream final : public ByteStream {
public:
    TcpStream() = default;
    explicit TcpStream(int fd, Milliseconds idleTimeout) : fd_(fd), idle_(idleTimeout) {}
    ~TcpStream() override { Close(); }
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // Resolves host (IPv4 or IPv6) and connects to the first address that answers within
    // connectTimeout.
    bool Connect(const std::string& host, int port, Milliseconds connectTimeout,
                 Milliseconds idleTimeout, int* error);
    // Connects to one address.
    bool Connect(const sockaddr_storage& address, socklen_t length, Milliseconds connectTimeout,
                 Milliseconds idleTimeout, int* error);

    long Read(char* buffer, std::size_t size, int* error) override;
    bool WriteAll(const char* bytes, std::size_t size, int* error) override;
    // Waits until the stream can be read (or has ended); false with ETIMEDOUT otherwise.
    bool WaitReadable(int* error) const;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Sends FIN: the peer reads the end of the stream while this side may still read.
    void ShutdownWrite();
    void Close();

    bool LocalAddress(sockaddr_storage* address, socklen_t* length) const;
    bool PeerAddress(sockaddr_storage* address, socklen_t* length) const;

private:
    int fd_ = -1;
    Milliseconds idle_{0};
};

// A listening socket for one incoming connection (active FTP data connections).
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener() { Close(); }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on the given local address with an ephemeral port.
    bool Listen(const sockaddr_storage& local, socklen_t length, int* error);
    bool LocalAddress(sockaddr_storage* address, socklen_t* length) const;
    // Waits at most timeout for a connection.
    bool Accept(Milliseconds timeout, Milliseconds idleTimeout, TcpStream* stream, int* error);
    void Close();

private:
    int fd_ = -1;
};

// The numeric text of an address ("127.0.0.1", "::1") and its port.
std::string AddressText(const sockaddr_storage& address);
int AddressPort(const sockaddr_storage& address);
void SetAddressPort(sockaddr_storage* address, int port);

}  // namespace tw::qorcom::transfer
