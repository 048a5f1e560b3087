#pragma once
// Ravelin's flag word: the option bits of its switches. Ravelin acts only on AUTO among them;
// the others exist because the same switches travel to the pollers it starts.

#include <cstdint>
#include <string>
#include <vector>

namespace tw::ravelin {

enum Flag : std::uint32_t {
    kPost = 0x1,
    kImportAll = 0x2,
    kImportMod = 0x4,
    kLaunchPoller = 0x8,
    kAuto = 0x10,
    kAutoDial = 0x30,
    kSend = 0x50,
    kWait = 0x80,
    kGetSales = 0x110,
    kSendFuelPrices = 0x210,
    kDontFlipModifiedFlag = 0x400,
    kRegisterNumber = 0x800,
    kDontWaitForSend = 0x1000,
    kEditor = 0x2000,
    kRegServer = 0x4000,
    kUnregServer = 0x8000,
};

struct FlagWord {
    std::uint32_t bits = 0;
    int registerNumber = 0;  // from REGISTER_NUMBER=n; stored, not used

    bool IsAuto() const { return (bits & kAuto) != 0; }
};

// Each switch is compared, ignoring case, with the names of the table in order; the first equal
// name decides and the bits accumulate. A switch whose upper-cased text contains
// "REGISTER_NUMBER" sets kRegisterNumber when its decimal value after the first '=' is not 0.
FlagWord ParseFlags(const std::vector<std::string>& switches);

}  // namespace tw::ravelin
