#include "platform/system_text.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace tw::platform {
namespace {

constexpr std::size_t kMaxErrorText = 511;

// strerror_r comes in two flavours; both are handled so the build does not depend on feature
// macros.
[[maybe_unused]] const char* PickText(int rc, const char* buffer) {
    return rc == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* PickText(const char* text, const char*) {
    return text;
}

}  // namespace

std::string SystemErrorText(int error) {
    char buffer[kMaxErrorText + 1] = {};
    const char* text = PickText(::strerror_r(error, buffer, sizeof buffer), buffer);
    if (text == nullptr)
        return {};
    std::string result(text);
    // glibc invents "Unknown error N" for numbers it has no text for.
    if (std::string_view(result).starts_with("Unknown error"))
        return {};
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    if (result.size() > kMaxErrorText)
        result.resize(kMaxErrorText);
    return result;
}

std::string CtimeStamp(std::time_t when) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr)
        return std::string(24, '?');
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[local.tm_wday % 7],
                  kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, local.tm_year + 1900);
    return buffer;
}

const SystemClock& SystemClock::Instance() {
    static const SystemClock clock;
    return clock;
}

}  // namespace tw::platform
