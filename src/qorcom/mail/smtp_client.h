#pragma once
// CSMTP: the SMTP protocol engine behind "QORCom.SendEMailSMTP" — connect and greet (EHLO,
// falling back to HELO), STARTTLS, AUTH PLAIN or LOGIN, and one message after another on the
// same connection (MAIL, RCPT for To, CC and BCC, DATA), then QUIT. The TLS form of the engine
// is the same class: SecureLogin and VerifyServerCertificate switch it on.
//
// Safe where the protocol lets a server, a caller or a network do harm:
//   - every wait is bounded (SmtpLimits: connect and idle time-outs), reply lines and replies
//     have length and line-count limits, and a multi-line reply is read to its last line
//     whatever the packets; the code of the last line decides;
//   - after STARTTLS's 220, whatever came in clear is dropped, never read as the server's words;
//   - credentials are never sent in clear when SecureLogin is set: a server without STARTTLS
//     then gets mail only when no user name is set, else the connection fails with
//     "Server does not offer STARTTLS; credentials not sent.";
//   - the message text is sent with every line end made CR LF and every line that begins with
//     "." given a second one, so no text can end DATA early or become a command;
//   - a transaction refused half-way (MAIL, RCPT, DATA or its end) is cleared with RSET, so the
//     next message on the connection starts afresh.
//
// Every member returns false on failure with the reason in LastError(): the exact texts
// "Unable to connect to server", "Server didn't respond.", "Socket Error", "Must be
// connected", "No Recipients", the server's reply for a refused command, or the TLS layer's
// message. Nothing throws except std::bad_alloc. One thread at a time.

#include <memory>
#include <string>
#include <vector>

#include "qorcom/mail/line_reader.h"
#include "qorcom/mail/mail_message.h"
#include "qorcom/transfer/tcp_stream.h"
#include "qorcom/transfer/tls_channel.h"

namespace tw::qorcom::mail {

struct SmtpLimits {
    transfer::Milliseconds connectTimeout{30'000};  // per address tried
    transfer::Milliseconds idleTimeout{120'000};    // any single wait for the server
    std::size_t maxLineLength = 8192;               // one reply line
    std::size_t maxReplyLines = 1000;               // one multi-line reply

    // The defaults, each replaced by its environment variable when set to a positive number:
    // QORCOM_SMTP_CONNECT_TIMEOUT and QORCOM_SMTP_IDLE_TIMEOUT (seconds).
    static SmtpLimits FromEnvironment();
};

// One reply: the code of its last line and the text of every line after the code and its
// separator, trimmed.
struct SmtpReply {
    int code = 0;  // 0 when the last line does not begin with a code (three digits, 1yz to 5yz)
    std::vector<std::string> lines;
    std::string text;  // the reply as received, lines joined by CR LF, for error messages
};

enum class ReplyStatus { kReply, kSocketError, kTooLong };

// Reads one whole reply through reader: lines whose fourth character is "-" continue it.
ReplyStatus ReadSmtpReply(LineReader& reader, std::size_t maxLines, SmtpReply* reply);

// The replies GetResponse expects, by index. A reply with another code fails with the server's
// text, or with the expected reply's own message ("SMTP server not ready for data") when the
// server sent an empty line.
enum class Expect { kOk = 0, kConnect = 1, kData = 2, kQuit = 3, kAuthChallenge = 4, kAuthOk = 5 };
int ExpectedCode(Expect expect);
const char* ExpectedReplyMessage(Expect expect);

// "host", "host:port", "[v6]:port" or a bare IPv6 address; *port keeps its value unless the
// text names one. False for a port that is not a number from 1 to 65535.
bool SplitServerPort(const std::string& server, std::string* host, int* port);

inline constexpr const char* kNoStartTls = "Server does not offer STARTTLS; credentials not sent.";

class CSMTP {
public:
    // server may carry ":port", which then overrides port; port 0 means 25.
    CSMTP(std::string server, std::string userName, std::string password, int port,
          SmtpLimits limits = SmtpLimits::FromEnvironment());
    virtual ~CSMTP();
    CSMTP(const CSMTP&) = delete;
    CSMTP& operator=(const CSMTP&) = delete;

    // Take effect at the next Connect.
    void SetSecureLogin(bool on) { secureLogin_ = on; }
    void SetVerifyServerCertificate(bool on) { verifyCertificate_ = on; }

    // Connects, reads the greeting, greets (EHLO, else HELO), and with EHLO runs STARTTLS and
    // authentication as set. True at once when already connected; on failure the connection is
    // closed.
    bool Connect();
    // QUIT (221 expected) and close. True when not connected.
    bool Disconnect();
    // Readies the message for this server (8BITMIME) and builds its texts.
    bool FormatMailMessage(CMailMessage& message);
    // Sends a formatted message.
    bool SendMessage(const CMailMessage& message);

    bool Connected() const { return connected_; }
    bool TlsActive() const { return tls_ != nullptr; }
    const std::string& LastError() const { return error_; }
    // The texts of the lines of the last EHLO reply: the greeting, then the server's
    // extensions (the greeting alone after HELO).
    const std::vector<std::string>& Capabilities() const { return capabilities_; }

private:
    bool GetResponse(Expect expect);
    bool SendLine(const std::string& line);
    bool SendRaw(const std::string& bytes);
    bool Command(const std::string& line, Expect expect);
    // EHLO or HELO; after EHLO the reply's lines are the capabilities.
    bool Hello(const std::string& command);
    bool NegotiateAuth();
    bool StartTls();
    bool Authenticate();
    bool HasCapability(const std::string& keyword) const;
    void ResetTransaction();
    bool Fail(std::string message);
    bool SocketFail();
    void CloseSocket();
    transfer::ByteStream& Stream();

    std::string server_, host_, userName_, password_;
    int port_;
    SmtpLimits limits_;
    bool secureLogin_ = false;
    bool verifyCertificate_ = false;
    bool connected_ = false;
    transfer::TcpStream socket_;
    std::shared_ptr<transfer::TlsContext> tlsContext_;
    std::unique_ptr<transfer::TlsChannel> tls_;
    std::unique_ptr<LineReader> reader_;
    std::vector<std::string> capabilities_;
    SmtpReply reply_;
    std::string error_;
};

// Dot-stuffing for DATA: every bare CR and bare LF made CR LF, and a second "." before every
// line that begins with one.
std::string DotStuff(std::string_view text);

}  // namespace tw::qorcom::mail
