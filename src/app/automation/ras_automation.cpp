#include "app/automation/ras_automation.h"

#include <new>

#include "app/automation/automation_objects.h"
#include "messages/program_messages.h"

namespace tw {

bool DispatchRasAutomation::Installed() {
    return ResultAsBool(ras_.GetProperty(ras::kInstalled));
}

std::string DispatchRasAutomation::NameFrom(DISPID member) {
    comlite::Bstr name;
    VARIANT args[] = {BstrOutArgument(name)};
    ras_.CallMethod(member, args);
    return name.Utf8();
}

std::string DispatchRasAutomation::GetFirstConnection() {
    return NameFrom(ras::kGetFirstConnection);
}

std::string DispatchRasAutomation::GetNextConnection() {
    return NameFrom(ras::kGetNextConnection);
}

int DispatchRasAutomation::Dial(const std::string& entry, const std::string& phoneNumber,
                                const std::string& callbackNumber, const std::string& userName,
                                const std::string& password, const std::string& domain) {
    const comlite::Variant texts[] = {TextArgument(entry),          TextArgument(phoneNumber),
                                      TextArgument(callbackNumber), TextArgument(userName),
                                      TextArgument(password),       TextArgument(domain)};
    VARIANT args[] = {texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]};
    return ResultAsLong(ras_.CallMethod(ras::kDial, args));
}

int DispatchRasAutomation::HangUp() {
    return ResultAsLong(ras_.CallMethod(ras::kHangUp));
}

std::string DispatchRasAutomation::GetResultString(int result) {
    const comlite::Variant code = LongArgument(result);
    VARIANT args[] = {code};
    return ResultAsText(ras_.CallMethod(ras::kGetResultString, args));
}

DialUpDirectory::Listing DispatchDialUpDirectory::ListEntries() {
    // A phone book is short; the bound only stops an object that never ends its list.
    constexpr std::size_t kMaxEntries = 10000;
    DispatchDriver ras = CreateObject(kRasProgId);
    if (!ras)
        return {};
    Listing listing;
    try {
        if (!ResultAsBool(ras.GetProperty(ras::kInstalled)))
            return {};
        listing.available = true;
        DISPID member = ras::kGetFirstEntry;
        while (listing.entries.size() < kMaxEntries) {
            comlite::Bstr name;
            VARIANT args[] = {BstrOutArgument(name)};
            ras.CallMethod(member, args);
            if (name.Utf8().empty())
                break;
            listing.entries.push_back(name.Utf8());
            member = ras::kGetNextEntry;
        }
    } catch (const std::exception& e) {
        SendMessageText(errorMessages(), e.what());
        listing.entries.clear();
    }
    return listing;
}

RasAutomationFactory MakeRasAutomationFactory() {
    return []() -> CountedPtr<RasAutomation> {
        DispatchDriver ras = CreateObject(kRasProgId);
        if (!ras)
            return {};
        try {
            return CountedPtr<RasAutomation>(new DispatchRasAutomation(std::move(ras)));
        } catch (const std::bad_alloc&) {
            FormatMessageTo(errorMessages(), "Cannot open QORCOM.");
            return {};
        }
    };
}

}  // namespace tw
