#include "transfer/fake_ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace tw::qorcom::test {
namespace {

int ListenLoopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, 5) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        throw std::runtime_error("fake FTP server: cannot listen");
    *port = ntohs(a.sin_port);
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

std::string PassiveReply(int port, const std::string& address) {
    return "227 Entering Passive Mode (" + address + "," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ").";
}

FakeFtpSession::~FakeFtpSession() {
    if (ssl_ != nullptr)
        SSL_free(ssl_);
    if (ctx_ != nullptr)
        SSL_CTX_free(ctx_);
    CloseFd(data_);
    CloseFd(passive_);
    CloseFd(control_);
}

void FakeFtpSession::Send(const std::string& text) {
    if (ssl_ != nullptr)
        SSL_write(ssl_, text.data(), static_cast<int>(text.size()));
    else
        ::send(control_, text.data(), text.size(), MSG_NOSIGNAL);
}

void FakeFtpSession::StartTls(const std::string& certificateFile, const std::string& keyFile) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(ctx_, certificateFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("fake FTP server: cannot load the certificate");
    ssl_ = SSL_new(ctx_);
    SSL_set_fd(ssl_, control_);
    if (SSL_accept(ssl_) != 1)
        throw std::runtime_error("fake FTP server: TLS handshake failed");
}

std::string FakeFtpSession::Read() {
    for (;;) {
        const std::size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            commands.push_back(line);
            return line;
        }
        char chunk[4096];
        const ssize_t n = ssl_ != nullptr ? SSL_read(ssl_, chunk, sizeof chunk)
                                          : ::recv(control_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return {};
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string FakeFtpSession::Answer(const std::string& reply) {
    std::string command = Read();
    Reply(reply);
    return command;
}

void FakeFtpSession::LogOn() {
    Reply("220 Fake FTP ready");
    Answer("331 Password required");
    Answer("230 Logged on");
    Answer("200 Type set");
}

int FakeFtpSession::ListenPassive() {
    CloseFd(passive_);
    int port = 0;
    passive_ = ListenLoopback(&port);
    return port;
}

void FakeFtpSession::AcceptData() {
    CloseFd(data_);
    // Bounded, so that a client that never comes (a test failing) cannot hang the server.
    pollfd p{passive_, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1)
        throw std::runtime_error("fake FTP server: no data connection");
    data_ = ::accept(passive_, nullptr, nullptr);
}

void FakeFtpSession::ConnectActive(const std::string& portCommand) {
    int h[6] = {};
    if (std::sscanf(portCommand.c_str(), "PORT %d,%d,%d,%d,%d,%d", &h[0], &h[1], &h[2], &h[3],
                    &h[4], &h[5]) != 6)
        throw std::runtime_error("fake FTP server: bad PORT command " + portCommand);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr =
        htonl(static_cast<uint32_t>((h[0] << 24) | (h[1] << 16) | (h[2] << 8) | h[3]));
    a.sin_port = htons(static_cast<uint16_t>(h[4] * 256 + h[5]));
    CloseFd(data_);
    data_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::connect(data_, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

void FakeFtpSession::SendData(const std::string& bytes) {
    ::send(data_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string FakeFtpSession::ReceiveData() {
    std::string bytes;
    char chunk[4096];
    ssize_t n;
    while ((n = ::recv(data_, chunk, sizeof chunk, 0)) > 0)
        bytes.append(chunk, static_cast<std::size_t>(n));
    return bytes;
}

void FakeFtpSession::CloseData(bool reset) {
    if (reset && data_ >= 0) {
        const linger hard{1, 0};
        ::setsockopt(data_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    CloseFd(data_);
}

FakeFtpServer::FakeFtpServer(Script script) {
    // OpenSSL's own socket writes (StartTls) do not use MSG_NOSIGNAL: a client that hung up
    // must fail the test, not kill the test program.
    std::signal(SIGPIPE, SIG_IGN);
    listener_ = ListenLoopback(&port_);
    thread_ = std::thread([this, script = std::move(script)] {
        const int control = ::accept(listener_, nullptr, nullptr);
        if (control < 0)
            return;
        control_ = control;
        FakeFtpSession session(control);
        try {
            script(session);
        } catch (const std::exception&) {
            // The client side of the test reports what went wrong.
        }
        // Wait for the client to hang up, so that it never reads a reset mid-reply.
        while (!session.Read().empty()) {
        }
        std::lock_guard lock(mutex_);
        commands_ = session.commands;
    });
}

FakeFtpServer::~FakeFtpServer() {
    ::shutdown(listener_, SHUT_RDWR);
    if (control_ >= 0)
        ::shutdown(control_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    ::close(listener_);
}

std::vector<std::string> FakeFtpServer::Commands() {
    ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return commands_;
}

}  // namespace tw::qorcom::test
