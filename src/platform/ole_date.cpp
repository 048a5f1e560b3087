#include "platform/ole_date.h"

#include <algorithm>

#include <locale.h>
#include <cmath>

namespace tw::platform {
namespace {

constexpr double kHalfSecond = 1.0 / 172800.0;
constexpr long long kOleEpochFromUnixDays = -25569;  // 1899-12-30 relative to 1970-01-01
constexpr double kMinDays = -657434.0;               // 0100-01-01 00:00:00
constexpr double kMaxDays = 2958465.99999;           // 9999-12-31 23:59:59

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

locale_t CLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

// Howard Hinnant's algorithms: exact for every proleptic Gregorian date.
long long DaysFromCivil(int year, int month, int day) {
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

OleDate OleDate::FromDays(double days) {
    if (!std::isfinite(days) || days < kMinDays || days > kMaxDays)
        return Invalid();
    return OleDate(days, Status::Valid);
}

OleDate OleDate::FromCivil(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return Invalid();
    }
    const long long dayNumber = DaysFromCivil(year, month, day) - kOleEpochFromUnixDays;
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // The fraction counts forward from midnight on both sides of the epoch.
    const double value = dayNumber >= 0 ? static_cast<double>(dayNumber) + fraction
                                        : static_cast<double>(dayNumber) - fraction;
    return OleDate(value, Status::Valid);
}

OleDate OleDate::Now() {
    return FromFileTime(std::time(nullptr));
}

OleDate OleDate::FromFileTime(std::time_t utcSeconds) {
    std::tm local{};
    if (::localtime_r(&utcSeconds, &local) == nullptr)
        return Invalid();
    return FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                     local.tm_min, local.tm_sec);
}

bool OleDate::ToCivil(CivilTime& out) const {
    if (!IsValid())
        return false;
    // Round to the nearest second away from the epoch, as the day part is signed.
    const double rounded = days_ + (days_ >= 0 ? kHalfSecond : -kHalfSecond);
    const double whole = std::trunc(rounded);
    const long long dayNumber = static_cast<long long>(whole);
    long long seconds = static_cast<long long>(std::fabs(rounded - whole) * 86400.0);
    if (seconds >= 86400)
        seconds = 86399;
    CivilFromDays(dayNumber + kOleEpochFromUnixDays, out.year, out.month, out.day);
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    const long long unixDays = dayNumber + kOleEpochFromUnixDays;
    // 1970-01-01 was a Thursday (5 when Sunday is 1).
    out.dayOfWeek = static_cast<int>(((unixDays + 4) % 7 + 7) % 7) + 1;
    out.dayOfYear = static_cast<int>(unixDays - DaysFromCivil(out.year, 1, 1)) + 1;
    return true;
}

namespace {

// The civil time as mktime's input, with the given daylight-saving flag.
std::tm LocalTm(const CivilTime& civil, int isDst) {
    std::tm local{};
    local.tm_year = civil.year - 1900;
    local.tm_mon = civil.month - 1;
    local.tm_mday = civil.day;
    local.tm_hour = civil.hour;
    local.tm_min = civil.minute;
    local.tm_sec = civil.second;
    local.tm_isdst = isDst;
    return local;
}

}  // namespace

bool OleDate::ToFileTime(std::time_t& out) const {
    CivilTime civil;
    if (!ToCivil(civil))
        return false;
    std::tm local = LocalTm(civil, -1);
    errno = 0;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1) && errno != 0)
        return false;
    out = t;
    return true;
}

bool OleDate::ToFileTimeRange(std::time_t& earliest, std::time_t& latest) const {
    CivilTime civil;
    if (!ToCivil(civil))
        return false;
    bool found = false;
    for (const int dst : {0, 1}) {
        std::tm local = LocalTm(civil, dst);
        errno = 0;
        const std::time_t t = std::mktime(&local);
        if (t == static_cast<std::time_t>(-1) && errno != 0)
            continue;
        // Only an instant that shows this very civil time is one it stands for.
        std::tm back{};
        if (::localtime_r(&t, &back) == nullptr || back.tm_year != civil.year - 1900 ||
            back.tm_mon != civil.month - 1 || back.tm_mday != civil.day ||
            back.tm_hour != civil.hour || back.tm_min != civil.minute ||
            back.tm_sec != civil.second) {
            continue;
        }
        earliest = found ? std::min(earliest, t) : t;
        latest = found ? std::max(latest, t) : t;
        found = true;
    }
    if (found)
        return true;
    if (!ToFileTime(earliest))
        return false;
    latest = earliest;
    return true;
}

std::string OleDate::Format(const char* format) const {
    CivilTime civil;
    if (!ToCivil(civil))
        return {};
    std::tm tm{};
    tm.tm_year = civil.year - 1900;
    tm.tm_mon = civil.month - 1;
    tm.tm_mday = civil.day;
    tm.tm_hour = civil.hour;
    tm.tm_min = civil.minute;
    tm.tm_sec = civil.second;
    tm.tm_wday = civil.dayOfWeek - 1;
    tm.tm_yday = civil.dayOfYear - 1;
    tm.tm_isdst = -1;
    char buffer[256];
    const std::size_t n = ::strftime_l(buffer, sizeof buffer, format, &tm, CLocale());
    return std::string(buffer, n);
}

double OleDate::LinearDays() const {
    if (days_ >= 0)
        return days_;
    const double c = std::ceil(days_);
    return c - (days_ - c);
}

OleDate OleDate::FromLinearDays(double linear) {
    if (linear >= 0)
        return FromDays(linear);
    // Inverse of LinearDays: the whole part keeps its sign, the fraction counts forward.
    const double whole = std::floor(linear);
    const double fraction = linear - whole;
    return FromDays(whole - fraction);
}

OleDate OleDate::AddDays(double span) const {
    if (!IsValid())
        return *this;
    return FromLinearDays(LinearDays() + span);
}

OleDate OleDate::TruncatedToMinute() const {
    CivilTime civil;
    if (!ToCivil(civil))
        return *this;
    return FromCivil(civil.year, civil.month, civil.day, civil.hour, civil.minute, 0);
}

}  // namespace tw::platform
