#pragma once
// FtpClient: the FTP protocol engine behind "QORCom.FTP" — the control connection and its
// replies, the logon table, transfer types, passive and active data connections, file transfers
// and listings.
//
// Safe by default where the protocol lets a server or a caller do harm:
//   - every wait is bounded (FtpLimits), and reply lines and listings have length limits;
//   - a command argument holding CR, LF or NUL is refused before anything is sent, so no path
//     or raw command can smuggle in a second command;
//   - a download goes to a temporary file beside the target, renamed over it only after the
//     server confirmed the transfer; an append download cuts the file back to its old length
//     when the transfer fails;
//   - a data connection that ends in an error fails the transfer whatever the final reply says,
//     and so does a local write that fails (disk full);
//   - the data connection of a passive transfer always goes to the control connection's peer:
//     the address in the PASV reply is read, but a different one is not connected to.
//
// Explicit TLS (SetSecurity): after the greeting "AUTH TLS" (class 2 required), the handshake
// and "PBSZ 0"; after the logon "PROT P" (SecureTransfer) or "PROT C". Bytes the server sent
// after its AUTH reply are dropped, never read as if they had been encrypted. With PROT P every
// data connection runs its own handshake after the transfer command's 1xx reply, resuming the
// control connection's session (servers require that), and an upload ends with close_notify;
// a download that ends without the server's close_notify has been cut and fails.
//
// Every member returns false on failure with the reason in LastMessage(); after a command the
// server's reply line is there. Nothing throws except std::bad_alloc. One thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "qorcom/transfer/tcp_stream.h"
#include "qorcom/transfer/tls_channel.h"

namespace tw::qorcom::transfer {

struct FtpLimits {
    Milliseconds connectTimeout{30'000};  // per address tried
    Milliseconds idleTimeout{120'000};    // any single wait for the server
    std::size_t maxLineLength = 8192;     // one reply line
    std::size_t maxReplyLines = 1000;     // one multi-line reply
    std::size_t maxListingBytes = 64u << 20;

    // The defaults, each replaced by its environment variable when set to a positive number:
    // QORCOM_FTP_CONNECT_TIMEOUT and QORCOM_FTP_IDLE_TIMEOUT (seconds),
    // QORCOM_FTP_MAX_LINE, QORCOM_FTP_MAX_REPLY_LINES, QORCOM_FTP_MAX_LISTING (bytes/lines).
    static FtpLimits FromEnvironment();
};

// The text that refuses an argument holding CR, LF or NUL.
inline constexpr const char* kUnsafeArgument =
    "Refused: the command holds a CR, LF or NUL character";

// True when text can be sent inside one command line.
bool IsSafeArgument(std::string_view text);

struct FtpSecurity {
    bool secureLogin = false;     // AUTH TLS on the control connection
    bool secureTransfer = false;  // PROT P: data connections encrypted too
    TlsOptions tls;
};

class FtpClient {
public:
    explicit FtpClient(FtpLimits limits = FtpLimits::FromEnvironment());
    virtual ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Takes effect at the next LogOn.
    void SetSecurity(const FtpSecurity& security) { security_ = security; }
    const FtpSecurity& Security() const { return security_; }

    // Connects, reads the greeting (class 2 required) and walks the logon table: USER, then
    // PASS on a class 3 reply, then ACCT on another; class 2 at any step logs on. On failure
    // the control connection is closed.
    bool LogOn(const std::string& host, int port, const std::string& user,
               const std::string& password, const std::string& account);
    bool Connected() const { return control_.IsOpen(); }

    // Sends one command and reads its reply; true for a class 2 reply. An empty command only
    // reads a reply.
    bool Command(std::string_view command);
    // Sends "TYPE A" or "TYPE I" unless that type was the last one sent on this connection.
    bool SetType(bool ascii);
    // Downloads remote into localPath (replacing it, or appending to it).
    bool Download(const std::string& remote, const std::string& localPath, bool append,
                  bool passive);
    // Uploads localPath as remote with STOR, or APPE when append.
    bool Upload(const std::string& localPath, const std::string& remote, bool append, bool passive);
    // Runs a listing command ("LIST", "NLST x") over a data connection and returns its text.
    bool Listing(const std::string& command, bool passive, std::string* text);
    // Writes "QUIT" without waiting for the reply and closes the connection. Harmless when not
    // connected.
    void Quit();

    // Records a failure found by the caller before anything was sent; returns false.
    bool Refuse(std::string message) { return Fail(std::move(message)); }

    const std::string& LastMessage() const { return message_; }
    // The first digit of the last reply (0 when none could be read).
    int ReplyClass() const { return replyClass_; }
    const FtpLimits& Limits() const { return limits_; }
    void SetLimits(const FtpLimits& limits) { limits_ = limits; }

private:
    class LocalSink;
    struct DataConnection;

    bool ReadLine(std::string* line);
    bool ReadReply();
    bool WriteLine(std::string_view line);
    ByteStream& Control();
    bool SecureControl(const std::string& host);
    bool OpenData(const std::string& command, bool passive, DataConnection* data);
    bool OpenPassive(const std::string& command, TcpStream* data);
    bool OpenActive(const std::string& command, TcpStream* data);
    // Reads the end-of-transfer reply; a failure already recorded (failed) keeps its message.
    bool FinishTransfer(bool failed);
    bool Fail(std::string message);
    bool NetworkFail(int error, const char* operation, const char* step);
    bool ControlFail(int error, const char* operation, const char* step);
    void CloseControl();

    FtpLimits limits_;
    FtpSecurity security_;
    TcpStream control_;
    std::shared_ptr<TlsContext> tls_;
    std::unique_ptr<TlsChannel> controlTls_;  // over control_ once AUTH TLS succeeded
    bool protectData_ = false;
    std::string host_;
    std::string received_;  // control bytes read past the last line
    std::string message_;
    int replyClass_ = 0;
    int typeSent_ = -1;  // -1 none yet on this connection, 0 binary, 1 ASCII
};

}  // namespace tw::qorcom::transfer
