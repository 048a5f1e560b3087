#include "qorcom/sessions/telnet.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "comlite/bstr.h"
#include "platform/tcp_stream.h"
#include "qorcom/frame/property_values.h"
#include "qorcom/sessions/telnet_protocol.h"

namespace tw::qorcom {
namespace {

constexpr std::uint16_t kTelnetPort = 23;
constexpr std::chrono::milliseconds kReadSlice{200};
constexpr std::chrono::milliseconds kCloseGrace{1000};

std::chrono::milliseconds TimeoutFromEnvironment() {
    if (const char* text = std::getenv("QORCOM_TELNET_TIMEOUT")) {
        char* end = nullptr;
        const long seconds = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && seconds > 0 && seconds <= 3600)
            return std::chrono::seconds(seconds);
    }
    return kDefaultTelnetTimeout;
}

}  // namespace

// One open connection and its reader thread. Sends come from the caller's thread and the
// reader's option answers from the reader thread, so sends are serialised.
class TelnetConnection {
public:
    TelnetConnection(platform::TcpStream stream, std::chrono::milliseconds sendTimeout)
        : stream_(std::move(stream)), sendTimeout_(sendTimeout) {
        reader_ = std::thread([this] { ReadLoop(); });
    }
    ~TelnetConnection() {
        stopping_ = true;
        stream_.Shutdown();
        reader_.join();
    }

    bool Send(std::string_view bytes, std::string* error) {
        std::lock_guard lock(sendMutex_);
        return stream_.SendAll(bytes, sendTimeout_, error);
    }

    // Ends sending and gives the server up to grace to close its side, so that closing does
    // not reset the connection while the server still has text for us (a reset can throw
    // away what we sent last).
    void FinishSending(std::chrono::milliseconds grace) {
        stream_.ShutdownSend();
        const auto deadline = std::chrono::steady_clock::now() + grace;
        while (!readerDone_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::string Received() const {
        std::lock_guard lock(textMutex_);
        return text_;
    }

private:
    void ReadLoop() {
        ReadUntilClosed();
        readerDone_ = true;
    }

    void ReadUntilClosed() {
        char buffer[4096];
        while (!stopping_) {
            std::size_t got = 0;
            const auto status = stream_.Read(buffer, sizeof buffer, kReadSlice, &got);
            if (status == platform::TcpStream::ReadStatus::kTimeout)
                continue;
            if (status != platform::TcpStream::ReadStatus::kData)
                return;
            TelnetDecoder::Result decoded = decoder_.Feed(std::string_view(buffer, got));
            Keep(decoded.data);
            std::string ignored;
            if (!decoded.replies.empty())
                Send(decoded.replies, &ignored);
        }
    }

    void Keep(const std::string& data) {
        std::lock_guard lock(textMutex_);
        text_ += data;
        if (text_.size() > kReceivedTextLimit)
            text_.erase(0, text_.size() - kReceivedTextLimit);
    }

    platform::TcpStream stream_;
    std::chrono::milliseconds sendTimeout_;
    TelnetDecoder decoder_;
    std::mutex sendMutex_;
    mutable std::mutex textMutex_;
    std::string text_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> readerDone_{false};
    std::thread reader_;  // last: started once everything it uses exists
};

CTelnet::CTelnet(IUnknown* outer)
    : GenericDispatchObject(outer, "QORCom.Telnet"), timeout_(TimeoutFromEnvironment()) {}

CTelnet::~CTelnet() = default;

HRESULT CTelnet::put_Server(BSTR value) {
    return PutString(value, &server_);
}
HRESULT CTelnet::get_Server(BSTR* value) {
    return GetString(server_, value);
}
HRESULT CTelnet::put_Port(SHORT value) {
    port_ = value;
    return S_OK;
}
HRESULT CTelnet::get_Port(SHORT* value) {
    if (!value)
        return E_POINTER;
    *value = port_;
    return S_OK;
}
HRESULT CTelnet::put_UserName(BSTR value) {
    return PutString(value, &userName_);
}
HRESULT CTelnet::get_UserName(BSTR* value) {
    return GetString(userName_, value);
}
HRESULT CTelnet::put_Password(BSTR value) {
    return PutString(value, &password_);
}
HRESULT CTelnet::get_Password(BSTR* value) {
    return GetString(password_, value);
}
HRESULT CTelnet::get_LastErrorMessage(BSTR* value) {
    return GetString(lastError_, value);
}

HRESULT CTelnet::Connect(VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        connection_.reset();
        const auto port = port_ == 0 ? kTelnetPort : static_cast<std::uint16_t>(port_);
        std::string error;
        std::optional<platform::TcpStream> stream =
            platform::TcpStream::Connect(server_, port, timeout_, &error);
        if (!stream) {
            lastError_ =
                "Unable to connect to " + server_ + " port " + std::to_string(port) + ": " + error;
            return S_OK;
        }
        connection_ = std::make_unique<TelnetConnection>(std::move(*stream), timeout_);
        lastError_.clear();
        lastReceived_.clear();
        *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CTelnet::SendCommand(BSTR command, VARIANT_BOOL* result) {
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        if (!connection_) {
            lastError_ = "Not connected.";
            return S_OK;
        }
        std::string error;
        if (!connection_->Send(command ? comlite::BstrToUtf8(command) : std::string(), &error)) {
            lastError_ = "Unable to send the command: " + error;
            return S_OK;
        }
        *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CTelnet::Disconnect() {
    return Guarded([&] {
        if (!connection_)
            return S_OK;
        std::string error;
        if (!connection_->Send("exit\n", &error))
            lastError_ = "Unable to send the command: " + error;
        connection_->FinishSending(kCloseGrace);
        lastReceived_ = connection_->Received();
        connection_.reset();
        return S_OK;
    });
}

std::string CTelnet::ReceivedText() const {
    return connection_ ? connection_->Received() : lastReceived_;
}

}  // namespace tw::qorcom
