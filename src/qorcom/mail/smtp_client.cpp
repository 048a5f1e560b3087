#include "qorcom/mail/smtp_client.h"

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace tw::qorcom::mail {
namespace {

constexpr int kSmtpPort = 25;
constexpr std::size_t kMaxHostName = 80;

void FromEnv(const char* name, transfer::Milliseconds* value) {
    const char* text = std::getenv(name);
    if (text == nullptr)
        return;
    char* end = nullptr;
    const long long seconds = std::strtoll(text, &end, 10);
    if (end != text && *end == '\0' && seconds > 0 && seconds <= 24 * 3600)
        *value = transfer::Milliseconds(seconds * 1000);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool ParsePort(std::string_view text, int* port) {
    if (text.empty() || text.size() > 5)
        return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    *port = value;
    return true;
}

// The name this machine greets with: the host name, at most 80 characters.
std::string LocalHostName() {
    char name[kMaxHostName + 1] = {};
    if (::gethostname(name, kMaxHostName) != 0 || name[0] == '\0')
        return "localhost";
    std::string host(name);
    for (const char c : host)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            return "localhost";
    return host;
}

}  // namespace

SmtpLimits SmtpLimits::FromEnvironment() {
    SmtpLimits limits;
    FromEnv("QORCOM_SMTP_CONNECT_TIMEOUT", &limits.connectTimeout);
    FromEnv("QORCOM_SMTP_IDLE_TIMEOUT", &limits.idleTimeout);
    return limits;
}

ReplyStatus ReadSmtpReply(LineReader& reader, std::size_t maxLines, SmtpReply* reply) {
    reply->code = 0;
    reply->lines.clear();
    reply->text.clear();
    for (std::size_t count = 0;; ++count) {
        if (count >= maxLines)
            return ReplyStatus::kTooLong;
        std::string line;
        int error = 0;
        const LineReader::Status status = reader.ReadLine(&line, &error);
        if (status == LineReader::Status::kTooLong)
            return ReplyStatus::kTooLong;
        if (status != LineReader::Status::kLine)
            return ReplyStatus::kSocketError;
        if (!reply->text.empty())
            reply->text += "\r\n";
        reply->text += line;
        const bool continued = line.size() >= 4 && line[3] == '-';
        reply->lines.emplace_back(
            TrimBlanks(line.size() > 4 ? std::string_view(line).substr(4) : ""));
        if (continued)
            continue;
        // A reply code is 1yz to 5yz; anything else is no code at all.
        if (line.size() >= 3 && line[0] >= '1' && line[0] <= '5' &&
            std::isdigit(static_cast<unsigned char>(line[1])) &&
            std::isdigit(static_cast<unsigned char>(line[2])) &&
            (line.size() == 3 || line[3] == ' '))
            reply->code = std::atoi(line.substr(0, 3).c_str());
        return ReplyStatus::kReply;
    }
}

namespace {

struct ExpectedReply {
    int code;
    const char* message;  // the failure's text when the server's reply holds none
};
constexpr ExpectedReply kExpectedReplies[] = {
    {250, "SMTP server error"},
    {220, "SMTP server not available"},
    {354, "SMTP server not ready for data"},
    {221, "SMTP server didn't terminate session"},
    {334, "AUTH init request failed"},
    {235, "AUTH request failed"},
};

}  // namespace

int ExpectedCode(Expect expect) {
    return kExpectedReplies[static_cast<int>(expect)].code;
}

const char* ExpectedReplyMessage(Expect expect) {
    return kExpectedReplies[static_cast<int>(expect)].message;
}

bool SplitServerPort(const std::string& server, std::string* host, int* port) {
    const std::string_view text = TrimBlanks(server);
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return false;
        *host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || !ParsePort(rest.substr(1), port)))
            return false;
        return !host->empty();
    }
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        *host = std::string(text.substr(0, colon));
        return ParsePort(text.substr(colon + 1), port) && !host->empty();
    }
    *host = std::string(text);  // a name, or an IPv6 address without a port
    return !host->empty();
}

std::string DotStuff(std::string_view text) {
    const std::string lines = NormalizeLineEnds(text);
    std::string out;
    out.reserve(lines.size() + 16);
    bool lineStart = true;
    for (const char c : lines) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

CSMTP::CSMTP(std::string server, std::string userName, std::string password, int port,
             SmtpLimits limits)
    : server_(std::move(server)),
      userName_(std::move(userName)),
      password_(std::move(password)),
      port_(port > 0 ? port : kSmtpPort),
      limits_(limits) {}

CSMTP::~CSMTP() {
    Disconnect();
}

transfer::ByteStream& CSMTP::Stream() {
    if (tls_)
        return *tls_;
    return socket_;
}

bool CSMTP::Fail(std::string message) {
    error_ = std::move(message);
    return false;
}

bool CSMTP::SocketFail() {
    error_ = "Socket Error";
    // The connection cannot be trusted any more: a later Send is told so.
    reader_.reset();
    tls_.reset();
    socket_.Close();
    connected_ = false;
    return false;
}

void CSMTP::CloseSocket() {
    if (tls_)
        tls_->Shutdown();
    tls_.reset();
    socket_.ShutdownWrite();
    socket_.Close();
    reader_.reset();
    connected_ = false;
}

bool CSMTP::SendRaw(const std::string& bytes) {
    int error = 0;
    if (!socket_.IsOpen() || !Stream().WriteAll(bytes.data(), bytes.size(), &error))
        return SocketFail();
    return true;
}

bool CSMTP::SendLine(const std::string& line) {
    return SendRaw(line + "\r\n");
}

bool CSMTP::GetResponse(Expect expect) {
    if (!reader_ || !socket_.IsOpen())
        return SocketFail();
    switch (ReadSmtpReply(*reader_, limits_.maxReplyLines, &reply_)) {
        case ReplyStatus::kSocketError:
            return SocketFail();
        case ReplyStatus::kTooLong:
            SocketFail();
            return Fail("Socket Error: the server's reply is too long");
        case ReplyStatus::kReply:
            break;
    }
    if (reply_.code != ExpectedCode(expect))
        return Fail(TrimBlanks(reply_.text).empty() ? ExpectedReplyMessage(expect) : reply_.text);
    return true;
}

bool CSMTP::Command(const std::string& line, Expect expect) {
    return SendLine(line) && GetResponse(expect);
}

bool CSMTP::Hello(const std::string& command) {
    capabilities_.clear();
    if (!Command(command, Expect::kOk))
        return false;
    // Kept until the next EHLO: the replies of later commands do not change what the server
    // offers.
    capabilities_ = reply_.lines;
    return true;
}

bool CSMTP::HasCapability(const std::string& keyword) const {
    // The first line greets; the extensions follow it.
    for (std::size_t i = 1; i < capabilities_.size(); ++i) {
        const std::string word = Upper(capabilities_[i].substr(0, capabilities_[i].find(' ')));
        if (word == keyword)
            return true;
    }
    return false;
}

bool CSMTP::Connect() {
    if (connected_)
        return true;
    CloseSocket();
    int port = port_;
    if (!SplitServerPort(server_, &host_, &port))
        return Fail("Unable to connect to server");
    int error = 0;
    if (!socket_.Connect(host_, port, limits_.connectTimeout, limits_.idleTimeout, &error))
        return Fail("Unable to connect to server");
    reader_ = std::make_unique<LineReader>(&socket_, limits_.maxLineLength);
    if (!GetResponse(Expect::kConnect)) {
        CloseSocket();
        return Fail("Server didn't respond.");
    }
    const std::string name = LocalHostName();
    const std::string ehlo = "EHLO " + name;
    bool greeted;
    if (Hello(ehlo))
        greeted = NegotiateAuth();
    else
        greeted = socket_.IsOpen() && Hello("HELO " + name);
    if (!greeted) {
        const std::string why = error_;
        CloseSocket();
        return Fail(why);
    }
    connected_ = true;
    return true;
}

bool CSMTP::NegotiateAuth() {
    if (secureLogin_ && HasCapability("STARTTLS")) {
        if (!StartTls())
            return false;
    } else if (secureLogin_ && !userName_.empty()) {
        return Fail(kNoStartTls);
    }
    return Authenticate();
}

bool CSMTP::StartTls() {
    if (!Command("STARTTLS", Expect::kConnect))
        return false;
    // Whatever followed the 220 came in clear, from anyone on the path: never the server's
    // words once the channel is encrypted.
    reader_->Discard();
    std::string message;
    transfer::TlsOptions options;
    options.verifyServerCertificate = verifyCertificate_;
    tlsContext_ = transfer::TlsContext::Create(options, &message);
    if (!tlsContext_)
        return Fail(message);
    auto channel = std::make_unique<transfer::TlsChannel>(tlsContext_, socket_);
    if (!channel->Handshake(host_, false))
        return Fail(channel->Message());
    tls_ = std::move(channel);
    reader_->SetStream(tls_.get());
    return Hello("EHLO " + LocalHostName());
}

bool CSMTP::Authenticate() {
    if (userName_.empty())
        return true;
    std::string mechanisms;
    for (std::size_t i = 1; i < capabilities_.size(); ++i) {
        if (Upper(capabilities_[i].substr(0, 4)) == "AUTH") {
            mechanisms = capabilities_[i].size() > 5 ? capabilities_[i].substr(5) : "";
            break;
        }
    }
    std::size_t start = 0;
    while (start < mechanisms.size()) {
        std::size_t end = mechanisms.find(' ', start);
        if (end == std::string::npos)
            end = mechanisms.size();
        const std::string mechanism = Upper(mechanisms.substr(start, end - start));
        start = end + 1;
        if (mechanism == "PLAIN") {
            const std::string credentials = std::string(1, '\0') + userName_ + '\0' + password_;
            return Command("AUTH PLAIN", Expect::kAuthChallenge) &&
                   Command(Base64Text(credentials), Expect::kAuthOk);
        }
        if (mechanism == "LOGIN") {
            return Command("AUTH LOGIN", Expect::kAuthChallenge) &&
                   Command(Base64Text(userName_), Expect::kAuthChallenge) &&
                   Command(Base64Text(password_), Expect::kAuthOk);
        }
    }
    return true;  // no mechanism we speak: mail goes unauthenticated, as the server decides
}

bool CSMTP::Disconnect() {
    if (!connected_) {
        CloseSocket();
        return true;
    }
    const bool quit = Command("QUIT", Expect::kQuit);
    CloseSocket();
    return quit;
}

bool CSMTP::FormatMailMessage(CMailMessage& message) {
    message.SetEightBitAllowed(HasCapability("8BITMIME"));
    return message.FormatMessage(&error_);
}

void CSMTP::ResetTransaction() {
    if (!connected_)
        return;
    // The reason the transaction failed is what the caller needs, not RSET's answer.
    const std::string why = error_;
    Command("RSET", Expect::kOk);
    error_ = why;
}

bool CSMTP::SendMessage(const CMailMessage& message) {
    if (!connected_)
        return Fail("Must be connected");
    bool sent = Command("MAIL From: <" + message.SenderAddress() + ">", Expect::kOk);
    for (const RecipientType type : {RecipientType::kTo, RecipientType::kCC, RecipientType::kBCC})
        for (const CRecipient& recipient : message.Recipients(type))
            sent = sent && Command("RCPT TO: <" + recipient.address + ">", Expect::kOk);
    sent = sent && Command("DATA", Expect::kData) &&
           SendRaw(DotStuff(message.Header() + message.Body())) && SendRaw("\r\n.\r\n") &&
           GetResponse(Expect::kOk);
    if (!sent)
        ResetTransaction();
    return sent;
}

}  // namespace tw::qorcom::mail
