#pragma once
// "QORCom.Telnet": sends command lines over a Telnet connection without waiting for answers.
//
// Each object has its own connection. Connect waits for the server to accept (at most the
// connect time-out: QORCOM_TELNET_TIMEOUT seconds from the environment, else 15) and returns
// false with LastErrorMessage when it refuses or does not answer. A reader thread drains the
// socket meanwhile, takes the Telnet commands out of the text (telnet_protocol.h), answers the
// server's option requests, and keeps the newest kReceivedTextLimit bytes of text. User name
// and password are not sent by the component: the caller logs in with SendCommand.
//
// Port 0 (never set) means the Telnet port 23; a port above 32767 arrives as a negative short
// and is taken as the unsigned 16-bit number it stands for.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/telnet.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORTelnet> {
    static constexpr const char* kName = "IQORTelnet";
    static constexpr IID kIid = IID_IQORTelnet;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kTelnet;
};

inline constexpr std::size_t kReceivedTextLimit = 64 * 1024;
inline constexpr std::chrono::seconds kDefaultTelnetTimeout{15};

class TelnetConnection;

class CTelnet final : public GenericDispatchObject<IQORTelnet> {
public:
    explicit CTelnet(IUnknown* outer);
    ~CTelnet() override;

    HRESULT STDMETHODCALLTYPE put_Server(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Server(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Port(SHORT value) override;
    HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) override;
    HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_LastErrorMessage(BSTR* value) override;
    // Closes a connection this object had, then connects. True once the server accepted.
    HRESULT STDMETHODCALLTYPE Connect(VARIANT_BOOL* result) override;
    // Sends the text unchanged (the caller supplies line ends). True only when every byte was
    // handed to the network; false without a connection or when the send failed.
    HRESULT STDMETHODCALLTYPE SendCommand(BSTR command, VARIANT_BOOL* result) override;
    // Sends "exit\n" and closes the connection; nothing happens without one.
    HRESULT STDMETHODCALLTYPE Disconnect() override;

    // For C++ callers and tests: the connect and send time-out of later calls.
    void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // The text received so far on the current or last connection (newest kReceivedTextLimit
    // bytes). Thread-safe.
    std::string ReceivedText() const;

private:
    std::string server_, userName_, password_, lastError_;
    SHORT port_ = 0;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<TelnetConnection> connection_;
    std::string lastReceived_;  // kept when a connection ends
};

}  // namespace tw::qorcom
