#include "civil_time.h"

#include <charconv>
#include <cstdio>

#include "platform/ole_date.h"

namespace tw::possim {

namespace {

constexpr std::int64_t kDay = 86400;

bool ReadNumber(std::string_view text, std::size_t pos, std::size_t digits, int& value) {
    if (pos + digits > text.size()) {
        return false;
    }
    const char* first = text.data() + pos;
    const char* last = first + digits;
    for (const char* c = first; c != last; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return std::from_chars(first, last, value).ec == std::errc();
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

LocalTime LocalTime::FromCivil(const CivilStamp& c) {
    const long long days = platform::DaysFromCivil(c.year, c.month, c.day);
    return LocalTime(days * kDay + c.hour * 3600LL + c.minute * 60LL + c.second);
}

std::optional<LocalTime> LocalTime::Parse(std::string_view text) {
    CivilStamp c;
    if (text.size() != 16 && text.size() != 19) {
        return std::nullopt;
    }
    if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || (text.size() == 19 && text[16] != ':')) {
        return std::nullopt;
    }
    if (!ReadNumber(text, 0, 4, c.year) || !ReadNumber(text, 5, 2, c.month) ||
        !ReadNumber(text, 8, 2, c.day) || !ReadNumber(text, 11, 2, c.hour) ||
        !ReadNumber(text, 14, 2, c.minute) ||
        (text.size() == 19 && !ReadNumber(text, 17, 2, c.second))) {
        return std::nullopt;
    }
    if (c.year < 1900 || c.month < 1 || c.month > 12 || c.day < 1 ||
        c.day > DaysInMonth(c.year, c.month) || c.hour > 23 || c.minute > 59 || c.second > 59) {
        return std::nullopt;
    }
    return FromCivil(c);
}

CivilStamp LocalTime::Civil() const {
    std::int64_t days = seconds_ / kDay;
    std::int64_t rest = seconds_ % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    CivilStamp c;
    platform::CivilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

std::string LocalTime::Date() const {
    const CivilStamp c = Civil();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buffer;
}

std::string LocalTime::Time() const {
    const CivilStamp c = Civil();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return buffer;
}

std::string LocalTime::Stamp14() const {
    const CivilStamp c = Civil();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buffer;
}

std::string LocalTime::Iso() const {
    return Date() + "T" + Time();
}

std::optional<std::time_t> LocalToFileTime(const LocalTime& local) {
    const CivilStamp c = local.Civil();
    const platform::OleDate date =
        platform::OleDate::FromCivil(c.year, c.month, c.day, c.hour, c.minute, c.second);
    std::time_t result = 0;
    if (!date.ToFileTime(result)) {
        return std::nullopt;
    }
    return result;
}

}  // namespace tw::possim
