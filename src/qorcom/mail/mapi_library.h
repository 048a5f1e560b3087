#pragma once
// What the MAPI mail components share: finding the provider library (mapi_provider.h), the
// texts of the MAPI result codes, a logged-on session, the message a provider handed out, and
// the address lists of the mail properties.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qorcom/mail/mapi_provider.h"

namespace tw::qorcom::mail {

// Raised (code 0x201F) when there is no usable provider library.
inline constexpr const char* kMapiUnavailable = "Unable to initialize MAPI.";

// The text of a MAPI result code, as callers of the components have always seen it (spelling
// and double spaces included); "Unknown MAPI Error <code>" for a code without one.
std::string MapiErrorText(std::uint32_t code);

// The provider's table, from $QORCOM_MAPI_PROVIDER or libqorcom-mapi.so beside libqorcom.so,
// asked for again on every call (the library itself stays loaded once loaded); nullptr when
// there is no library, it lacks the entry point, or its table is of another version.
// Thread-safe.
const QorMapiProvider* LoadMapiProvider();

// The functions a component calls.
enum class MapiUse { Sending, Reading };

// The name of the first function of `use` the table lacks ("MAPISendMail"), or nullptr.
const char* MissingMapiFunction(const QorMapiProvider& provider, MapiUse use);

// A message handed out by MAPIReadMail, freed with the provider's MAPIFreeBuffer when the
// holder goes, whichever way the reader leaves.
struct MapiBufferRelease {
    const QorMapiProvider* provider = nullptr;
    void operator()(QorMapiMessage* message) const {
        if (message && provider)
            provider->MAPIFreeBuffer(message);
    }
};
using MapiMessageHolder = std::unique_ptr<QorMapiMessage, MapiBufferRelease>;

// One logged-on session. Logs off when destroyed. Not thread-safe (one object, one thread).
class MapiSession {
public:
    MapiSession() = default;
    ~MapiSession() { Logoff(); }
    MapiSession(const MapiSession&) = delete;
    MapiSession& operator=(const MapiSession&) = delete;

    // Logs off a session this object had, then logs on; the MAPI result code.
    std::uint32_t Logon(const QorMapiProvider& provider, const std::string& profile,
                        const std::string& password, std::uint64_t uiHandle, bool userInterface);
    void Logoff();

    bool IsOpen() const { return provider_ != nullptr; }
    const QorMapiProvider& Provider() const { return *provider_; }
    QorMapiSession Handle() const { return session_; }
    std::uint64_t UiHandle() const { return uiHandle_; }

private:
    const QorMapiProvider* provider_ = nullptr;
    QorMapiSession session_ = 0;
    std::uint64_t uiHandle_ = 0;
};

// A recipient or sender as the reading components report it: "Name <address>", or the
// address alone when the name is empty or the same; an "SMTP:" prefix is dropped.
std::string FormatRecipient(const QorMapiRecipDesc& recipient);

// The texts joined with the separator.
std::string JoinWith(std::span<const std::string> texts, std::string_view separator);

}  // namespace tw::qorcom::mail
