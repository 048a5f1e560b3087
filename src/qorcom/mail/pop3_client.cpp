#include "qorcom/mail/pop3_client.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "qorcom/transfer/ftp_client.h"

namespace tw::qorcom::mail {
namespace {

constexpr const char* kStepTexts[] = {
    "Server didn't connect.",        "Bad user name.",   "Invalid username/password combination.",
    "STATus couldn't be retrieved.", "RETRieve failed.", "Could not DELEte message.",
    "Error while QUITting.",
};

constexpr std::size_t kShownReply = 100;  // of a reply that is not understood
constexpr std::size_t kMinLineLimit = 64 * 1024;

template <class T>
void FromEnv(const char* name, T* value, long long scale) {
    const char* text = std::getenv(name);
    if (text == nullptr)
        return;
    char* end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    if (end != text && *end == '\0' && n > 0 && n <= LLONG_MAX / scale)
        *value = T(n * scale);
}

std::string ErrorText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer);
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Pop3Limits Pop3Limits::FromEnvironment() {
    Pop3Limits limits;
    FromEnv("QORCOM_POP3_CONNECT_TIMEOUT", &limits.connectTimeout, 1000);
    FromEnv("QORCOM_POP3_IDLE_TIMEOUT", &limits.idleTimeout, 1000);
    FromEnv("QORCOM_POP3_MAX_MESSAGE", &limits.maxMessageBytes, 1);
    return limits;
}

const char* Pop3StepText(Pop3Step step) {
    return kStepTexts[static_cast<int>(step)];
}

bool ParsePop3Server(const std::string& server, std::string* host, int* port) {
    *port = kPop3Port;
    std::string portText;
    bool hasPort = false;
    if (!server.empty() && server.front() == '[') {
        const std::size_t close = server.find(']');
        if (close == std::string::npos)
            return false;
        *host = server.substr(1, close - 1);
        if (close + 1 < server.size()) {
            if (server[close + 1] != ':')
                return false;
            hasPort = true;
            portText = server.substr(close + 2);
        }
    } else {
        const std::size_t colon = server.find(':');
        // More than one colon: a bare IPv6 address, which cannot carry a port.
        if (colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
            *host = server.substr(0, colon);
            hasPort = true;
            portText = server.substr(colon + 1);
        } else {
            *host = server;
        }
    }
    if (host->empty())
        return false;
    if (hasPort) {
        int value = 0;
        const auto [end, ec] =
            std::from_chars(portText.data(), portText.data() + portText.size(), value);
        if (ec != std::errc() || end != portText.data() + portText.size() || value < 1 ||
            value > 65535)
            return false;
        *port = value;
    }
    return true;
}

bool CPOP3::Connect(const std::string& server, const std::string& user,
                    const std::string& password) {
    Close();
    std::string host;
    int port = 0;
    if (!ParsePop3Server(server, &host, &port)) {
        lastError_ = "Unable to connect to server";
        return false;
    }
    if (!transfer::IsSafeArgument(user) || !transfer::IsSafeArgument(password)) {
        lastError_ = transfer::kUnsafeArgument;
        return false;
    }
    auto stream = std::make_unique<transfer::TcpStream>();
    int error = 0;
    if (!stream->Connect(host, port, limits_.connectTimeout, limits_.idleTimeout, &error)) {
        lastError_ = error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM
                         ? "Unable to create the socket."
                         : "Unable to connect to server";
        return false;
    }
    return LogOn(std::move(stream), user, password);
}

bool CPOP3::LogOn(std::unique_ptr<transfer::ByteStream> stream, const std::string& user,
                  const std::string& password) {
    Close();
    if (!transfer::IsSafeArgument(user) || !transfer::IsSafeArgument(password)) {
        lastError_ = transfer::kUnsafeArgument;
        return false;
    }
    stream_ = std::move(stream);
    // A message line may be as long as a whole message; every line is bounded by that (or by
    // a size any status line fits in, should the message limit be set smaller).
    reader_ = std::make_unique<LineReader>(stream_.get(),
                                           std::max(limits_.maxMessageBytes, kMinLineLimit));
    std::string reply;
    if (!ReadReply(Pop3Step::kGreeting, &reply) || !Command("USER " + user, Pop3Step::kUser) ||
        !Command("PASS " + password, Pop3Step::kPass)) {
        Close();
        return false;
    }
    lastError_.clear();
    return true;
}

bool CPOP3::Stat(int* count) {
    *count = -1;
    if (!Command("STAT", Pop3Step::kStat))
        return false;
    const std::string& reply = lastReply_;
    std::size_t at = 3;  // after "+OK"
    while (at < reply.size() && (reply[at] == ' ' || reply[at] == '\t')) ++at;
    long long value = 0;
    const auto [end, ec] = std::from_chars(reply.data() + at, reply.data() + reply.size(), value);
    if (ec != std::errc() || end == reply.data() + at || value < 0 || value > INT_MAX ||
        (end != reply.data() + reply.size() && *end != ' ' && *end != '\t'))
        return Fail(Pop3Step::kStat,
                    "no message count in the reply \"" + reply.substr(0, kShownReply) + "\"");
    *count = static_cast<int>(value);
    return true;
}

bool CPOP3::Retrieve(int number, std::string* message) {
    message->clear();
    if (!Command("RETR " + std::to_string(number), Pop3Step::kRetr))
        return false;
    std::size_t received = 0;
    bool tooBig = false;
    const std::string limitText = "the message is larger than the limit of " +
                                  std::to_string(limits_.maxMessageBytes) +
                                  " bytes (QORCOM_POP3_MAX_MESSAGE)";
    for (;;) {
        std::string line;
        int error = 0;
        switch (reader_->ReadLine(&line, &error)) {
            case LineReader::Status::kLine:
                break;
            case LineReader::Status::kEnd:
                message->clear();
                Fail(Pop3Step::kRetr, "the server closed the connection");
                Close();
                return false;
            case LineReader::Status::kError:
                message->clear();
                return FailSocket(error);
            case LineReader::Status::kTooLong:
                message->clear();
                Fail(Pop3Step::kRetr, limitText);
                Close();
                return false;
        }
        if (line == ".")
            break;
        const std::string_view text =
            line.starts_with('.') ? std::string_view(line).substr(1) : std::string_view(line);
        received += text.size() + 2;
        if (!tooBig && received > limits_.maxMessageBytes) {
            tooBig = true;
            message->clear();
            message->shrink_to_fit();
        }
        if (tooBig) {
            if (received / kDrainFactor > limits_.maxMessageBytes) {
                Fail(Pop3Step::kRetr, limitText);
                Close();
                return false;
            }
            continue;
        }
        message->append(text);
        message->append("\r\n");
    }
    if (tooBig)
        return Fail(Pop3Step::kRetr, limitText);
    return true;
}

bool CPOP3::Delete(int number) {
    return Command("DELE " + std::to_string(number), Pop3Step::kDele);
}

bool CPOP3::Quit() {
    const bool ok = Command("QUIT", Pop3Step::kQuit);
    Close();
    return ok;
}

void CPOP3::Close() {
    reader_.reset();
    stream_.reset();
}

bool CPOP3::Command(const std::string& line, Pop3Step step) {
    if (!stream_)
        return Fail(step, "not connected");
    const std::string bytes = line + "\r\n";
    int error = 0;
    if (!stream_->WriteAll(bytes.data(), bytes.size(), &error))
        return FailSocket(error);
    std::string reply;
    return ReadReply(step, &reply);
}

bool CPOP3::ReadReply(Pop3Step step, std::string* reply) {
    int error = 0;
    switch (reader_->ReadLine(reply, &error)) {
        case LineReader::Status::kLine:
            break;
        case LineReader::Status::kEnd:
            Fail(step, "the server closed the connection");
            Close();
            return false;
        case LineReader::Status::kError:
            return FailSocket(error);
        case LineReader::Status::kTooLong:
            Fail(step, "the reply line is too long");
            Close();
            return false;
    }
    lastReply_ = *reply;
    if (StartsWith(*reply, "+OK"))
        return true;
    if (StartsWith(*reply, "-ERR"))
        return Fail(step, "");
    // Neither answer: whatever comes next cannot be trusted to belong to this step.
    Fail(step, "unexpected reply \"" + reply->substr(0, kShownReply) + "\"");
    Close();
    return false;
}

bool CPOP3::Fail(Pop3Step step, const std::string& detail) {
    lastError_ = Pop3StepText(step);
    if (!detail.empty())
        lastError_ += " (" + detail + ")";
    return false;
}

bool CPOP3::FailSocket(int error) {
    lastError_ = "Socket Error " + std::to_string(error) + ": " + ErrorText(error);
    Close();
    return false;
}

}  // namespace tw::qorcom::mail
