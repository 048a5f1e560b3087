#pragma once
// CPOP3: the POP3 protocol engine behind "QORCom.ReadEMailPOP3" — logon (USER, PASS), STAT,
// RETR, DELE and QUIT over plain TCP. (STLS is not offered: the component has no setting for it.)
//
// What it guarantees where a server or the network misbehaves:
//   - every reply is read line by line through one LineReader, so a reply split across packets
//     or several replies in one packet never desynchronise the session;
//   - a step succeeds only on "+OK": "-ERR" fails with the step's text from the table below, and
//     anything else (garbage, a closed connection, a time-out) fails too;
//   - every wait is bounded (Pop3Limits), and a retrieved message is at most maxMessageBytes:
//     a bigger one fails RETR with a text naming the limit, its rest is read and dropped so the
//     session goes on (up to kDrainFactor times the limit; beyond that the connection is closed);
//   - a user name or password holding CR, LF or NUL is refused before anything is sent;
//   - a failure that leaves the session unusable (network error, closed connection, line too
//     long) closes the connection, and later steps fail with "... (not connected)".
//
// Members return false on failure with the reason in LastError(). Nothing throws except
// std::bad_alloc. One thread at a time.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "qorcom/mail/line_reader.h"
#include "qorcom/transfer/tcp_stream.h"

namespace tw::qorcom::mail {

struct Pop3Limits {
    transfer::Milliseconds connectTimeout{30'000};  // per address tried
    transfer::Milliseconds idleTimeout{120'000};    // any single wait for the server
    std::size_t maxMessageBytes = 64u << 20;        // one retrieved message

    // The defaults, each replaced by its environment variable when set to a positive number:
    // QORCOM_POP3_CONNECT_TIMEOUT and QORCOM_POP3_IDLE_TIMEOUT (seconds),
    // QORCOM_POP3_MAX_MESSAGE (bytes).
    static Pop3Limits FromEnvironment();
};

inline constexpr int kPop3Port = 110;
inline constexpr std::size_t kDrainFactor = 4;

// The steps of a session; each has its text for a refusal.
enum class Pop3Step { kGreeting = 0, kUser, kPass, kStat, kRetr, kDele, kQuit };
const char* Pop3StepText(Pop3Step step);

// "host", "host:port", "[v6address]" or "[v6address]:port"; port 110 when none is given. False
// for an empty host or a port that is not 1 to 65535.
bool ParsePop3Server(const std::string& server, std::string* host, int* port);

class CPOP3 {
public:
    explicit CPOP3(Pop3Limits limits = Pop3Limits::FromEnvironment()) : limits_(limits) {}
    ~CPOP3() { Close(); }
    CPOP3(const CPOP3&) = delete;
    CPOP3& operator=(const CPOP3&) = delete;

    // Connects, checks the greeting and logs on. Any failure closes the connection.
    bool Connect(const std::string& server, const std::string& user, const std::string& password);
    // The same over a stream that is already open (a test's or a fuzzer's); the client owns it.
    bool LogOn(std::unique_ptr<transfer::ByteStream> stream, const std::string& user,
               const std::string& password);
    // The number of messages in the mailbox ("+OK n size"). Fails when the reply holds no count,
    // or one beyond the range of a 32-bit count.
    bool Stat(int* count);
    // The message text with the terminating line removed and dot-stuffing undone; lines end in
    // CR LF.
    bool Retrieve(int number, std::string* message);
    // Marks the message for deletion; the server deletes it at QUIT.
    bool Delete(int number);
    // QUIT (the server carries out the deletions), then closes the connection.
    bool Quit();
    // Closes the connection without QUIT: the server keeps every message.
    void Close();

    bool IsConnected() const { return stream_ != nullptr; }
    const std::string& LastError() const { return lastError_; }

private:
    bool Command(const std::string& line, Pop3Step step);
    bool ReadReply(Pop3Step step, std::string* reply);
    bool Fail(Pop3Step step, const std::string& detail);
    bool FailSocket(int error);

    Pop3Limits limits_;
    std::unique_ptr<transfer::ByteStream> stream_;
    std::unique_ptr<LineReader> reader_;
    std::string lastError_;
    std::string lastReply_;  // the last status line read
};

}  // namespace tw::qorcom::mail
