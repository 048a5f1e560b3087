#pragma once
// A connected TCP stream for the automation components that speak a line protocol themselves.
// Sends never raise SIGPIPE; every wait has a time limit.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

class TcpStream {
public:
    // Resolves host and connects to port, trying each address, and waits at most timeout for
    // one to accept. On failure returns nullopt and sets *error to a text for the user
    // ("Connection refused", "Connection timed out", the resolver's text).
    static std::optional<TcpStream> Connect(const std::string& host, std::uint16_t port,
                                            std::chrono::milliseconds timeout, std::string* error);

    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;
    ~TcpStream();

    // Sends every byte or fails; false with *error when the peer is gone or the send did not
    // complete within timeout. Safe to call from one thread while another thread reads.
    bool SendAll(std::string_view bytes, std::chrono::milliseconds timeout, std::string* error);

    enum class ReadStatus { kData, kTimeout, kClosed, kError };
    // Waits at most timeout for bytes and reads up to size of them into buffer.
    ReadStatus Read(char* buffer, std::size_t size, std::chrono::milliseconds timeout,
                    std::size_t* received);

    // Ends both directions, so that a reader blocked in Read returns kClosed; the descriptor
    // stays open until Close or destruction. Safe from any thread.
    void Shutdown();
    // Ends the sending direction only: the peer reads end of stream after everything sent,
    // and its remaining bytes can still be read.
    void ShutdownSend();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    explicit TcpStream(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace tw::platform
