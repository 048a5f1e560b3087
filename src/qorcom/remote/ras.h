#pragma once
// "QORCom.Ras" (also "QORPost.Ras"): dial-up networking through a provider library
// (qorcom/remote/ras_provider.h). Lists phone-book entries and active connections, dials an
// entry while a status window shows the progress, reports the dialled connection's state, hangs
// up, and turns dial-up error numbers into text.
//
// Without a provider library, Installed is false and every other member raises "RAS not
// found."; a provider lacking a function is still installed, and every member but Installed
// raises "<Name> not found." (both code 0).
//
// Dial has a time limit and a status sink; hosts change both through the C entry points of
// qorcom/remote/dial_status.h.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/ras.h"
#include "qorcom/remote/ras_provider.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORRas> {
    static constexpr const char* kName = "IQORRas";
    static constexpr IID kIid = IID_IQORRas;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kRas;
};

// What the user sees while an entry is dialled: a small window captioned "Connection Status"
// with "Cancel" and "Close" buttons and one line of state text.
class DialStatusWindow {
public:
    virtual ~DialStatusWindow() = default;
    // Shown before dialling starts. While the window is open, `cancel` may be called from any
    // thread to give up the attempt (the Cancel button).
    virtual void Open(const std::string& caption, std::function<void()> cancel) = 0;
    // The state text; called from the provider's notification thread, and from the dialling
    // thread when the time limit passes.
    virtual void SetText(const std::string& text) = 0;
    // Dialling ended (connected, failed or cancelled).
    virtual void Close() = 0;
};

// Makes the window of each Dial. Without one (nullptr), the headless window of
// qorcom/remote/headless_status.h is used. Process-wide; set it before objects dial.
// Thread-safe.
using DialStatusWindowFactory = std::function<std::shared_ptr<DialStatusWindow>()>;
void SetDialStatusWindowFactory(DialStatusWindowFactory factory);

// The time limit of later dials; zero returns to $QORCOM_RAS_DIAL_LIMIT (seconds) or the
// default of 120 seconds. Thread-safe.
void SetDialTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds DialTimeLimit();

// The text the status window shows for a connection state; empty for states it does not show.
std::string DialStateText(std::uint32_t state);

// Dial's result when the user cancelled: the status window was dismissed with Cancel.
inline constexpr LONG kDialCancelled = 2;
// Dial's result before anything has happened, and when the connection ended without an error.
inline constexpr LONG kDialNotConnected = 869;

class ConnectionWatcher;

class CRas final : public GenericDispatchObject<IQORRas> {
public:
    explicit CRas(IUnknown* outer);
    ~CRas() override;

    HRESULT STDMETHODCALLTYPE get_Installed(VARIANT_BOOL* value) override;
    // First and next names, "" after the last; Result is the enumeration's error number.
    HRESULT STDMETHODCALLTYPE GetFirstEntry(BSTR* entry, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetNextEntry(BSTR* entry, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetFirstConnection(BSTR* connection, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetNextConnection(BSTR* connection, LONG* result) override;
    // Reads the entry's stored parameters, lets each non-empty argument replace its value,
    // dials and waits for the outcome with the status window open. Result: 0 when connected,
    // the error number of the attempt, 2 when cancelled, 638 when the time limit passed (the
    // attempt is then hung up), 87 for an argument too long for the dial parameters. A
    // connection this object dialled before is hung up first.
    HRESULT STDMETHODCALLTYPE Dial(BSTR entry, BSTR phoneNumber, BSTR callbackNumber, BSTR userName,
                                   BSTR password, BSTR domain, LONG* result) override;
    // Hangs up the connection this object dialled and waits (a few seconds at most) for it to
    // go. 0 when there is nothing to hang up.
    HRESULT STDMETHODCALLTYPE HangUp(LONG* result) override;
    // eventHandle is an eventfd descriptor: it is signalled when any connection is made
    // (onConnect) or ends (onDisconnect). Both flags false stops the notification. E_HANDLE for
    // a descriptor that is not an eventfd.
    HRESULT STDMETHODCALLTYPE ConnectionNotification(LONG eventHandle, VARIANT_BOOL onConnect,
                                                     VARIANT_BOOL onDisconnect) override;
    // The state of the connection this object dialled; no such connection is disconnected.
    HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Connecting(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Disconnected(VARIANT_BOOL* value) override;
    // "Unknown RAS error %ld." outside 600 to 868, else the provider's text (the component's
    // own for 638, the time limit, when the provider has none).
    HRESULT STDMETHODCALLTYPE GetResultString(LONG result, BSTR* error) override;

private:
    enum class LinkState { Connecting, Connected, Disconnected };

    // Loads the provider on first need; S_OK, or the raised "not found" error.
    HRESULT Load();
    HRESULT Walk(bool first, bool entries, BSTR* name, LONG* result);
    HRESULT State(LinkState wanted, VARIANT_BOOL* value);
    LONG DialLoaded(const std::string& entry, const std::string* replacements);
    LONG HangUpLoaded();

    const QorRasProvider* ras_ = nullptr;
    std::vector<std::string> entries_;
    std::vector<std::string> connections_;
    std::size_t entryPosition_ = 0;
    std::size_t connectionPosition_ = 0;
    QorRasConnection connection_ = 0;
    std::unique_ptr<ConnectionWatcher> watcher_;
};

}  // namespace tw::qorcom
