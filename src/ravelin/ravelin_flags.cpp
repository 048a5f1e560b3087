#include "ravelin/ravelin_flags.h"

#include <cctype>
#include <charconv>

#include "platform/wildcard.h"

namespace tw::ravelin {
namespace {

struct Entry {
    const char* name;
    std::uint32_t bits;
};

constexpr Entry kFlags[] = {
    {"POST", kPost},
    {"IMPORTALL", kImportAll},
    {"IMPORTMOD", kImportMod},
    {"LAUNCHPOLLER", kLaunchPoller},
    {"AUTO", kAuto},
    {"AUTODIAL", kAutoDial},
    {"SEND", kSend},
    {"SENDITEMS", kSend},
    {"WAIT", kWait},
    {"GETSALES", kGetSales},
    {"SENDFUELPRICES", kSendFuelPrices},
    {"DONT_FLIP_MODIFIED_FLAG", kDontFlipModifiedFlag},
    {"DONT_WAIT_FOR_SEND", kDontWaitForSend},
    {"EDITOR", kEditor},
    {"REGSERVER", kRegServer},
    {"UNREGSERVER", kUnregServer},
};

std::string Upper(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

FlagWord ParseFlags(const std::vector<std::string>& switches) {
    FlagWord word;
    for (const auto& s : switches) {
        if (Upper(s).find("REGISTER_NUMBER") != std::string::npos) {
            const auto eq = s.find('=');
            int value = 0;
            if (eq != std::string::npos) {
                std::from_chars(s.data() + eq + 1, s.data() + s.size(), value);
            }
            if (value != 0) {
                word.bits |= kRegisterNumber;
                word.registerNumber = value;
            }
            continue;
        }
        for (const auto& entry : kFlags) {
            if (platform::EqualsIgnoreCase(s, entry.name)) {
                word.bits |= entry.bits;
                break;
            }
        }
    }
    return word;
}

}  // namespace tw::ravelin
