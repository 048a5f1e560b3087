#pragma once
// A scripted Telnet server on a loopback port for the tests: each accepted connection is sent
// the script's bytes, and everything the client sends is recorded until it closes.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::qorcom::test {

class FakeTelnetServer {
public:
    explicit FakeTelnetServer(std::string script = {}) : script_(std::move(script)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~FakeTelnetServer() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        acceptor_.join();
        for (std::thread& t : sessions_) t.join();
        ::close(listener_);
    }

    std::uint16_t Port() const { return port_; }

    // What connection n (0-based, in accept order) received, once it was closed by the client
    // or after the wait.
    std::string ReceivedOn(std::size_t n,
                           std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, wait, [&] { return closed_.size() > n && closed_[n]; });
        return n < received_.size() ? received_[n] : std::string();
    }
    std::size_t Connections() {
        std::lock_guard lock(mutex_);
        return received_.size();
    }
    // Waits until connection n has received at least count bytes.
    std::string WaitFor(std::size_t n, std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5),
                          [&] { return received_.size() > n && received_[n].size() >= count; });
        return n < received_.size() ? received_[n] : std::string();
    }

private:
    void AcceptLoop() {
        while (!stopping_) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::size_t index;
            {
                std::lock_guard lock(mutex_);
                index = received_.size();
                received_.emplace_back();
                closed_.push_back(false);
            }
            sessions_.emplace_back([this, fd, index] { Serve(fd, index); });
        }
    }

    void Serve(int fd, std::size_t index) {
        if (!script_.empty())
            ::send(fd, script_.data(), script_.size(), MSG_NOSIGNAL);
        char buffer[1024];
        for (;;) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            std::lock_guard lock(mutex_);
            received_[index].append(buffer, static_cast<std::size_t>(got));
            changed_.notify_all();
        }
        ::close(fd);
        std::lock_guard lock(mutex_);
        closed_[index] = true;
        changed_.notify_all();
    }

    std::string script_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> received_;
    std::vector<bool> closed_;
    std::vector<std::thread> sessions_;
    std::thread acceptor_;
};

}  // namespace tw::qorcom::test
