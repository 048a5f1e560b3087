#include "qorcom/transfer/ftp_client.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/text_file.h"

namespace tw::qorcom::transfer {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

template <class T>
void FromEnv(const char* name, T* value, long scale) {
    const char* text = std::getenv(name);
    if (text == nullptr)
        return;
    char* end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    if (end != text && *end == '\0' && n > 0)
        *value = T(n * scale);
}

std::string ErrorText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer);
}

// Parses "h1,h2,h3,h4,p1,p2" out of a PASV reply: between "(" and ")" when both appear, else
// after "Entering Passive Mode". The last number is the low port byte, the one before the high
// byte, the four before them the address.
bool ParsePassiveReply(const std::string& reply, std::string* host, int* port) {
    std::string text;
    const std::size_t open = reply.find('('), close = reply.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close > open) {
        text = reply.substr(open + 1, close - open - 1);
    } else {
        static constexpr std::string_view kMarker = "Entering Passive Mode";
        const std::size_t at = reply.find(kMarker);
        if (at == std::string::npos)
            return false;
        text = reply.substr(at + kMarker.size());
    }
    const std::size_t last = text.rfind(',');
    if (last == std::string::npos || last == 0)
        return false;
    const std::size_t previous = text.rfind(',', last - 1);
    if (previous == std::string::npos)
        return false;
    const int high = std::atoi(text.substr(previous + 1, last - previous - 1).c_str());
    const int low = std::atoi(text.substr(last + 1).c_str());
    if (high < 0 || high > 255 || low < 0 || low > 255)
        return false;
    *port = high * 256 + low;
    std::string address = text.substr(0, previous);
    std::size_t first = address.find_first_not_of(" \t");
    address = first == std::string::npos ? "" : address.substr(first);
    for (char& c : address)
        if (c == ',')
            c = '.';
    *host = address;
    return true;
}

}  // namespace

FtpLimits FtpLimits::FromEnvironment() {
    FtpLimits limits;
    FromEnv("QORCOM_FTP_CONNECT_TIMEOUT", &limits.connectTimeout, 1000);
    FromEnv("QORCOM_FTP_IDLE_TIMEOUT", &limits.idleTimeout, 1000);
    FromEnv("QORCOM_FTP_MAX_LINE", &limits.maxLineLength, 1);
    FromEnv("QORCOM_FTP_MAX_REPLY_LINES", &limits.maxReplyLines, 1);
    FromEnv("QORCOM_FTP_MAX_LISTING", &limits.maxListingBytes, 1);
    return limits;
}

bool IsSafeArgument(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Where a download goes: a temporary file beside the target renamed over it on success, or
// for an append the target itself, cut back to its old length (or removed when the download
// created it) on failure.
class FtpClient::LocalSink {
public:
    LocalSink(const std::string& path, bool append) : path_(path) {
        if (!append)
            writer_.emplace(path);
    }
    ~LocalSink() { Abandon(); }

    bool Open() {
        if (writer_)
            return writer_->Open();
        struct stat before {};
        created_ = ::stat(path_.c_str(), &before) != 0;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            return false;
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end < 0)
            return false;
        oldLength_ = end;
        return true;
    }
    bool Write(const char* bytes, std::size_t size) {
        if (writer_) {
            if (writer_->Write(std::string_view(bytes, size)))
                return true;
            error_ = writer_->Error();
            return false;
        }
        while (size > 0) {
            const ssize_t n = ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : ENOSPC;
                return false;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Commit() {
        bool ok;
        if (writer_) {
            ok = writer_->Commit();
            if (!ok)
                error_ = writer_->Error();
            writer_.reset();
        } else {
            ok = ::fsync(fd_) == 0;
            if (!ok)
                error_ = errno;
            ok = ::close(std::exchange(fd_, -1)) == 0 && ok;
        }
        done_ = ok;
        return ok;
    }
    void Abandon() {
        if (done_)
            return;
        done_ = true;
        if (writer_) {
            writer_->Abandon();
            return;
        }
        if (fd_ < 0)
            return;
        if (created_)
            ::unlink(path_.c_str());
        else if (::ftruncate(fd_, oldLength_) != 0) {
            // Nothing better can be done: the file keeps what arrived.
        }
        ::close(std::exchange(fd_, -1));
    }
    int Error() const { return error_; }

private:
    std::string path_;
    std::optional<platform::AtomicFileWriter> writer_;
    int fd_ = -1;
    bool created_ = false;
    off_t oldLength_ = 0;
    int error_ = 0;
    bool done_ = false;
};

// A data connection, encrypted or not.
struct FtpClient::DataConnection {
    TcpStream tcp;
    std::unique_ptr<TlsChannel> tls;
    ByteStream& Stream() { return tls ? static_cast<ByteStream&>(*tls) : tcp; }
    // After a download: answers the server's close_notify with ours, since a server may drop
    // the TLS session of a connection that did not end cleanly and refuse to resume it next.
    void Close(bool failed) {
        if (tls && !failed)
            tls->Shutdown();
        tls.reset();
        tcp.Close();
    }
};

FtpClient::FtpClient(FtpLimits limits) : limits_(limits) {}

FtpClient::~FtpClient() = default;

bool FtpClient::Fail(std::string message) {
    message_ = std::move(message);
    return false;
}

bool FtpClient::NetworkFail(int error, const char* operation, const char* step) {
    return Fail("Network error " + std::to_string(error) + ": " + ErrorText(error) + " in " +
                operation + " at " + step + ".");
}

bool FtpClient::ControlFail(int error, const char* operation, const char* step) {
    return Fail("Network error " + std::to_string(error) + " in " + operation + " at " + step +
                ".");
}

void FtpClient::CloseControl() {
    controlTls_.reset();
    protectData_ = false;
    control_.Close();
    received_.clear();
    typeSent_ = -1;
}

bool FtpClient::ReadLine(std::string* line) {
    for (;;) {
        const std::size_t end = received_.find('\n');
        if (end != std::string::npos) {
            if (end > limits_.maxLineLength)
                return ControlFail(EMSGSIZE, "ReadControlString", "ReadString");
            *line = received_.substr(0, end);
            received_.erase(0, end + 1);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            return true;
        }
        if (received_.size() > limits_.maxLineLength)
            return ControlFail(EMSGSIZE, "ReadControlString", "ReadString");
        char buffer[4096];
        int error = 0;
        const long n = Control().Read(buffer, sizeof buffer, &error);
        if (n == 0)
            error = ECONNRESET;
        if (n <= 0)
            return ControlFail(error, "ReadControlString", "ReadString");
        received_.append(buffer, static_cast<std::size_t>(n));
    }
}

bool FtpClient::ReadReply() {
    replyClass_ = 0;
    std::string line;
    if (!ReadLine(&line))
        return false;
    if (line.size() >= 4 && line[3] == '-') {
        const std::string code = line.substr(0, 3);
        for (std::size_t lines = 1;; ++lines) {
            if (lines >= limits_.maxReplyLines)
                return ControlFail(EMSGSIZE, "ReadControlString", "ReadString");
            if (!ReadLine(&line))
                return false;
            if (line.size() >= 4 && line[3] == ' ' && line.compare(0, 3, code) == 0)
                break;
        }
    }
    message_ = line;
    if (!line.empty() && line[0] >= '1' && line[0] <= '5')
        replyClass_ = line[0] - '0';
    return true;
}

bool FtpClient::WriteLine(std::string_view line) {
    std::string text(line);
    text += "\r\n";
    int error = 0;
    if (!Control().WriteAll(text.data(), text.size(), &error))
        return ControlFail(error, "WriteControlString", "WriteString");
    return true;
}

ByteStream& FtpClient::Control() {
    return controlTls_ ? static_cast<ByteStream&>(*controlTls_) : control_;
}

bool FtpClient::SecureControl(const std::string& host) {
    if (!Command("AUTH TLS"))
        return false;
    // Whatever followed the reply came in clear: it must not pass for the server's words.
    received_.clear();
    std::string message;
    tls_ = TlsContext::Create(security_.tls, &message);
    if (!tls_)
        return Fail(message);
    controlTls_ = std::make_unique<TlsChannel>(tls_, control_);
    if (!controlTls_->Handshake(host, false))
        return Fail(controlTls_->Message());
    return Command("PBSZ 0");
}

bool FtpClient::Command(std::string_view command) {
    if (!IsSafeArgument(command))
        return Fail(kUnsafeArgument);
    if (!command.empty() && !WriteLine(command))
        return false;
    return ReadReply() && replyClass_ == 2;
}

bool FtpClient::LogOn(const std::string& host, int port, const std::string& user,
                      const std::string& password, const std::string& account) {
    Quit();
    if (!IsSafeArgument(user) || !IsSafeArgument(password) || !IsSafeArgument(account))
        return Fail(kUnsafeArgument);
    int error = 0;
    if (!control_.Connect(host, port, limits_.connectTimeout, limits_.idleTimeout, &error))
        return Fail("Unable to connect to server ");
    host_ = host;
    bool loggedOn = false;
    if (Command("") && (!security_.secureLogin || SecureControl(host))) {
        // The logon table without firewall: each class 3 reply asks for the next step.
        const std::string steps[] = {"USER " + user, "PASS " + password, "ACCT " + account};
        for (const std::string& step : steps) {
            loggedOn = Command(step);
            if (loggedOn || replyClass_ != 3)
                break;
        }
        if (!loggedOn && replyClass_ == 3)
            Fail("Logon Failed");
        if (loggedOn && controlTls_) {
            loggedOn = Command(security_.secureTransfer ? "PROT P" : "PROT C");
            protectData_ = loggedOn && security_.secureTransfer;
        }
    }
    if (!loggedOn)
        CloseControl();
    return loggedOn;
}

bool FtpClient::SetType(bool ascii) {
    const int wanted = ascii ? 1 : 0;
    if (typeSent_ == wanted)
        return true;
    if (!Command(ascii ? "TYPE A" : "TYPE I"))
        return false;
    typeSent_ = wanted;
    return true;
}

bool FtpClient::OpenData(const std::string& command, bool passive, DataConnection* data) {
    if (!IsSafeArgument(command))
        return Fail(kUnsafeArgument);
    if (!(passive ? OpenPassive(command, &data->tcp) : OpenActive(command, &data->tcp)))
        return false;
    if (!protectData_)
        return true;
    data->tls = std::make_unique<TlsChannel>(tls_, data->tcp);
    if (data->tls->Handshake(host_, true))
        return true;
    const std::string failure = data->tls->Message();
    data->tls.reset();
    data->tcp.Close();
    FinishTransfer(true);
    return Fail(failure);
}

bool FtpClient::OpenPassive(const std::string& command, TcpStream* data) {
    if (!Command("PASV"))
        return false;
    std::string host;
    int port = 0;
    if (!ParsePassiveReply(message_, &host, &port))
        return Fail(message_);
    // The data connection goes to the server we logged on to, whatever address the reply
    // names: a server must not steer the client at other hosts.
    sockaddr_storage peer{};
    socklen_t length = 0;
    if (!control_.PeerAddress(&peer, &length))
        return NetworkFail(ENOTCONN, "OpenDataChannel", "Passive Create");
    SetAddressPort(&peer, port);
    // Connected before the command is sent, so that a server refusing the command and closing
    // its port at once is reported by its reply, not as a refused connection.
    int error = 0;
    if (!data->Connect(peer, length, limits_.connectTimeout, limits_.idleTimeout, &error))
        return NetworkFail(error, "OpenDataChannel", "Passive Create");
    if (!WriteLine(command) || !ReadReply())
        return false;
    if (replyClass_ != 1) {
        data->Close();
        return false;
    }
    return true;
}

bool FtpClient::OpenActive(const std::string& command, TcpStream* data) {
    sockaddr_storage local{};
    socklen_t length = 0;
    int error = 0;
    if (!control_.LocalAddress(&local, &length))
        return NetworkFail(ENOTCONN, "OpenDataChannel", "Client GetSockName");
    if (local.ss_family != AF_INET)
        return NetworkFail(EAFNOSUPPORT, "OpenDataChannel", "Active Create");
    TcpListener listener;
    if (!listener.Listen(local, length, &error))
        return NetworkFail(error, "OpenDataChannel", "Active Create");
    sockaddr_storage bound{};
    if (!listener.LocalAddress(&bound, &length))
        return NetworkFail(errno, "OpenDataChannel", "Server GetSockName");
    std::string address = AddressText(local);
    for (char& c : address)
        if (c == '.')
            c = ',';
    const int port = AddressPort(bound);
    if (!Command("PORT " + address + "," + std::to_string(port / 256) + "," +
                 std::to_string(port % 256)))
        return false;
    if (!WriteLine(command) || !ReadReply())
        return false;
    if (replyClass_ != 1)
        return false;
    if (!listener.Accept(limits_.idleTimeout, limits_.idleTimeout, data, &error))
        return NetworkFail(error, "OpenDataChannel", "Accept");
    return true;
}

bool FtpClient::FinishTransfer(bool failed) {
    const std::string failure = message_;
    const bool confirmed = Command("");
    if (failed) {
        message_ = failure;
        return false;
    }
    return confirmed;
}

bool FtpClient::Download(const std::string& remote, const std::string& localPath, bool append,
                         bool passive) {
    if (!IsSafeArgument(remote))
        return Fail(kUnsafeArgument);
    LocalSink sink(localPath, append);
    if (!sink.Open())
        return Fail("Unable to open file on local machine");
    DataConnection data;
    if (!OpenData("RETR " + remote, passive, &data))
        return false;
    std::vector<char> buffer(kBlockSize);
    bool failed = false;
    for (;;) {
        int error = 0;
        const long n = data.Stream().Read(buffer.data(), buffer.size(), &error);
        if (n == 0)
            break;
        if (n < 0) {
            failed = !NetworkFail(error, "ReadDataString", "Receive");
            break;
        }
        if (!sink.Write(buffer.data(), static_cast<std::size_t>(n))) {
            failed = !Fail("File error: " + ErrorText(sink.Error()));
            break;
        }
    }
    data.Close(failed);
    if (!FinishTransfer(failed))
        return false;
    if (!sink.Commit())
        return Fail("File error: " + ErrorText(sink.Error()));
    return true;
}

bool FtpClient::Upload(const std::string& localPath, const std::string& remote, bool append,
                       bool passive) {
    if (!IsSafeArgument(remote))
        return Fail(kUnsafeArgument);
    const int fd = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail("Unable to open file on local machine");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    DataConnection data;
    if (!OpenData((append ? "APPE " : "STOR ") + remote, passive, &data))
        return false;
    std::vector<char> buffer(kBlockSize);
    bool failed = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = !Fail("File error: " + ErrorText(errno));
            // A reset, not an orderly end, so that the server does not take the part sent
            // for the whole file.
            const linger reset{1, 0};
            ::setsockopt(data.tcp.Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            break;
        }
        if (n == 0)
            break;
        int error = 0;
        if (!data.Stream().WriteAll(buffer.data(), static_cast<std::size_t>(n), &error)) {
            failed = !NetworkFail(error, "WriteDataString", "Send");
            break;
        }
    }
    if (!failed && data.tls && !data.tls->Shutdown())
        failed = !Fail(data.tls->Message());
    data.tls.reset();
    data.tcp.Close();
    return FinishTransfer(failed);
}

bool FtpClient::Listing(const std::string& command, bool passive, std::string* text) {
    text->clear();
    DataConnection data;
    if (!OpenData(command, passive, &data))
        return false;
    char buffer[16 * 1024];
    bool failed = false;
    for (;;) {
        int error = 0;
        const long n = data.Stream().Read(buffer, sizeof buffer, &error);
        if (n == 0)
            break;
        if (n < 0) {
            failed = !NetworkFail(error, "ReadDataString", "Receive");
            break;
        }
        if (text->size() + static_cast<std::size_t>(n) > limits_.maxListingBytes) {
            failed = !NetworkFail(EMSGSIZE, "ReadDataString", "Receive");
            break;
        }
        text->append(buffer, static_cast<std::size_t>(n));
    }
    data.Close(failed);
    if (!FinishTransfer(failed)) {
        text->clear();
        return false;
    }
    return true;
}

void FtpClient::Quit() {
    if (control_.IsOpen()) {
        std::string saved = message_;
        WriteLine("QUIT");
        message_ = std::move(saved);
    }
    CloseControl();
}

}  // namespace tw::qorcom::transfer
