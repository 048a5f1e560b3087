#pragma once
// The dial-up automation object ("QORPost.Ras", served by libqorcom.so) behind the poller's
// RasAutomation interface.

#include "app/automation/dispatch_driver.h"
#include "monitor/pos_file_system.h"
#include "monitor/ras_file_system.h"
#include "settings/site_settings_form.h"

namespace tw {

inline constexpr const char* kRasProgId = "QORPost.Ras";

// Dispatch identifiers of the members of the dial-up interface the poller calls.
namespace ras {
inline constexpr DISPID kInstalled = 0x60020000;           // property get -> boolean
inline constexpr DISPID kGetFirstEntry = 0x60020001;       // ([out] text) -> long
inline constexpr DISPID kGetNextEntry = 0x60020002;        // ([out] text) -> long
inline constexpr DISPID kGetFirstConnection = 0x60020003;  // ([out] text) -> long
inline constexpr DISPID kGetNextConnection = 0x60020004;   // ([out] text) -> long
inline constexpr DISPID kDial = 0x60020005;                // (six texts) -> long
inline constexpr DISPID kHangUp = 0x60020006;              // () -> long
inline constexpr DISPID kGetResultString = 0x6002000b;     // (long) -> text
}  // namespace ras

// RasAutomation over IDispatch. Every member throws DispatchException (the object raised an
// error, e.g. "RAS not found.") or ComError (the call failed), as RasConnector expects. One
// thread at a time.
class DispatchRasAutomation final : public RasAutomation {
public:
    explicit DispatchRasAutomation(DispatchDriver ras) : ras_(std::move(ras)) {}

    bool Installed() override;
    // The name (empty when there is none); the object's status code is not needed, as an
    // empty name ends the walk either way.
    std::string GetFirstConnection() override;
    std::string GetNextConnection() override;
    int Dial(const std::string& entry, const std::string& phoneNumber,
             const std::string& callbackNumber, const std::string& userName,
             const std::string& password, const std::string& domain) override;
    int HangUp() override;
    std::string GetResultString(int result) override;

private:
    std::string NameFrom(DISPID member);
    DispatchDriver ras_;
};

// The phone-book entries of the site settings dialog, from a "QORPost.Ras" created for each
// listing. Not available when the object cannot be created (reported by CreateObject) or dial-up
// is not installed (nothing reported); a call that fails while listing is reported with the
// object's error text.
class DispatchDialUpDirectory final : public DialUpDirectory {
public:
    Listing ListEntries() override;
};

// Creates "QORPost.Ras" through CreateObject for each call (a failure has been reported and
// gives an empty pointer). This is what the application hands to the monitor builder.
RasAutomationFactory MakeRasAutomationFactory();

}  // namespace tw
