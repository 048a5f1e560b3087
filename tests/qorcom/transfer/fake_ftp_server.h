#pragma once
// A scripted FTP server on 127.0.0.1 for what real servers will not do on demand: odd greetings
// and PASV forms, replies that never end, data connections cut short. It accepts one control
// connection and runs the test's script on its own thread; the script talks through
// FakeFtpSession. Every command the client sent is recorded.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_st;
struct ssl_ctx_st;

namespace tw::qorcom::test {

class FakeFtpSession {
public:
    explicit FakeFtpSession(int control) : control_(control) {}
    ~FakeFtpSession();

    // Sends text as it is (no line end added).
    void Send(const std::string& text);
    // Sends one reply line with CR LF.
    void Reply(const std::string& line) { Send(line + "\r\n"); }
    // The next command line without its line end; "" when the client closed.
    std::string Read();
    // Read(), and a reply.
    std::string Answer(const std::string& reply);
    // The usual greeting and logon (USER, PASS) with the first TYPE answered.
    void LogOn();

    // Runs the server side of a TLS handshake on the control connection; from then on Send
    // and Read go through TLS.
    void StartTls(const std::string& certificateFile, const std::string& keyFile);

    // Passive: listens on an ephemeral port and returns it; AcceptData takes the connection.
    int ListenPassive();
    void AcceptData();
    // Active: connects to the address of a "PORT h1,h2,h3,h4,p1,p2" command.
    void ConnectActive(const std::string& portCommand);
    void SendData(const std::string& bytes);
    std::string ReceiveData();
    // Ends the data connection in order, or with a reset (SO_LINGER 0).
    void CloseData(bool reset = false);

    std::vector<std::string> commands;

private:
    int control_;
    ssl_st* ssl_ = nullptr;
    ssl_ctx_st* ctx_ = nullptr;
    int passive_ = -1;
    int data_ = -1;
    std::string buffer_;
};

class FakeFtpServer {
public:
    using Script = std::function<void(FakeFtpSession&)>;
    explicit FakeFtpServer(Script script);
    ~FakeFtpServer();

    int Port() const { return port_; }
    // Waits for the script to end and the client to hang up, and returns the commands
    // received. (Destruction cuts the connection instead of waiting.)
    std::vector<std::string> Commands();

private:
    int listener_ = -1;
    std::atomic<int> control_{-1};
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> commands_;
};

// "227 Entering Passive Mode (127,0,0,1,p1,p2)." for a port.
std::string PassiveReply(int port, const std::string& address = "127,0,0,1");

}  // namespace tw::qorcom::test
