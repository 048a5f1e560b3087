#include "date_text.h"

#include <array>
#include <cstdio>
#include <optional>
#include <vector>

#include "comlite/text.h"
#include "platform/ole_date.h"

namespace comlite::detail {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};
constexpr std::array<std::string_view, 7> kWeekdays = {"sunday",   "monday", "tuesday", "wednesday",
                                                       "thursday", "friday", "saturday"};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x3000;
}
bool IsDateSeparator(char16_t c) {
    return IsBlank(c) || c == u',' || c == u'/' || c == u'-';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A month by its full English name or its first three letters; 0 when none.
int MonthNumber(std::string_view word) {
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsIgnoreCase(word, kMonths[i]) ||
            (word.size() == 3 && EqualsIgnoreCase(word, kMonths[i].substr(0, 3))))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

bool IsWeekday(std::string_view word) {
    for (std::string_view day : kWeekdays)
        if (EqualsIgnoreCase(word, day) ||
            (word.size() == 3 && EqualsIgnoreCase(word, day.substr(0, 3))))
            return true;
    return false;
}

enum class Meridiem { None, Am, Pm };

// What the text holds, in order: date parts (numbers or month names), at most one time.
struct DateParts {
    struct Part {
        int value = 0;
        int digits = 0;      // 0 for a month name
        bool month = false;  // an English month name
    };
    std::vector<Part> date;
    std::vector<int> time;  // hour[, minute[, second]]
    int timeAt = -1;        // how many date parts came before the time
    Meridiem meridiem = Meridiem::None;
};

int ReadNumber(std::u16string_view s, std::size_t& i, int& digits) {
    long long value = 0;
    digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        if (value < 100000)
            value = value * 10 + (s[i] - u'0');
        ++i;
        ++digits;
    }
    return static_cast<int>(value);
}

// Splits the text into parts; false for anything that cannot belong to a date.
bool Tokenize(std::u16string_view s, DateParts& parts) {
    std::size_t i = 0;
    bool sawSeparator = true;  // at the start nothing needs separating
    int meridiemAt = -1;       // date parts seen when AM/PM came
    while (i < s.size()) {
        const char16_t c = s[i];
        if (IsDateSeparator(c)) {
            ++i;
            sawSeparator = true;
            continue;
        }
        if (IsDigit(c)) {
            int digits;
            const int first = ReadNumber(s, i, digits);
            if (i < s.size() && (s[i] == u':' || s[i] == u'.') && i + 1 < s.size() &&
                IsDigit(s[i + 1])) {
                if (!parts.time.empty())
                    return false;  // a second time
                parts.time.push_back(first);
                parts.timeAt = static_cast<int>(parts.date.size());
                while (i + 1 < s.size() && (s[i] == u':' || s[i] == u'.') && IsDigit(s[i + 1])) {
                    ++i;
                    int d;
                    parts.time.push_back(ReadNumber(s, i, d));
                }
                if (parts.time.size() > 3)
                    return false;  // fractions of a second are not read
            } else {
                parts.date.push_back({first, digits, false});
            }
            sawSeparator = false;
            continue;
        }
        if (IsLetter(c)) {
            std::string word;
            while (i < s.size() && IsLetter(s[i])) word.push_back(static_cast<char>(s[i++]));
            if (EqualsIgnoreCase(word, "am") || EqualsIgnoreCase(word, "a") ||
                EqualsIgnoreCase(word, "pm") || EqualsIgnoreCase(word, "p")) {
                if (parts.meridiem != Meridiem::None)
                    return false;
                parts.meridiem = (word[0] == 'a' || word[0] == 'A') ? Meridiem::Am : Meridiem::Pm;
                meridiemAt = static_cast<int>(parts.date.size());
            } else if (EqualsIgnoreCase(word, "t") && i < s.size() && IsDigit(s[i]) &&
                       !parts.date.empty() && parts.time.empty()) {
                // ISO 8601 "2024-01-31T15:04:05": the T only separates.
            } else if (const int month = MonthNumber(word)) {
                if (!sawSeparator && !parts.date.empty())
                    return false;
                parts.date.push_back({month, 0, true});
            } else if (!IsWeekday(word)) {
                return false;
            }
            sawSeparator = false;
            continue;
        }
        return false;
    }
    // Without a written time, the number just before AM/PM is the hour.
    if (parts.meridiem != Meridiem::None && parts.time.empty()) {
        if (meridiemAt <= 0 || parts.date[meridiemAt - 1].month)
            return false;
        parts.time.push_back(parts.date[meridiemAt - 1].value);
        parts.date.erase(parts.date.begin() + (meridiemAt - 1));
        parts.timeAt = meridiemAt - 1;
    } else if (parts.meridiem != Meridiem::None && meridiemAt != parts.timeAt) {
        return false;  // AM/PM must follow the time it belongs to
    }
    return true;
}

int FullYear(const DateParts::Part& p) {
    if (p.digits <= 2)
        return p.value < 30 ? 2000 + p.value : 1900 + p.value;
    return p.value;
}

bool ValidDate(int year, int month, int day) {
    return tw::platform::OleDate::FromCivil(year, month, day).IsValid();
}

struct Civil {
    int year, month, day;
};

std::optional<Civil> TryOrder(const DateParts::Part& m, const DateParts::Part& d,
                              const DateParts::Part& y) {
    if (m.digits > 2 || d.digits > 2)
        return std::nullopt;
    const Civil c{FullYear(y), m.value, d.value};
    if (ValidDate(c.year, c.month, c.day))
        return c;
    return std::nullopt;
}

std::optional<Civil> ResolveDate(const std::vector<DateParts::Part>& p, int currentYear) {
    int months = 0;
    for (const auto& part : p) months += part.month ? 1 : 0;
    if (months > 1)
        return std::nullopt;
    const DateParts::Part thisYear{currentYear, 4, false};
    if (p.size() == 2) {
        const auto& a = p[0];
        const auto& b = p[1];
        if (a.month || b.month) {
            const auto& month = a.month ? a : b;
            const auto& other = a.month ? b : a;
            if (auto c = TryOrder(month, other, thisYear))
                return c;
            const DateParts::Part first{1, 1, false};
            return TryOrder(month, first, other);
        }
        // Month and day of this year, either way round; else month and year.
        const DateParts::Part first{1, 1, false};
        for (const auto& c : {TryOrder(a, b, thisYear), TryOrder(b, a, thisYear),
                              TryOrder(a, first, b), TryOrder(b, first, a)})
            if (c)
                return c;
        return std::nullopt;
    }
    if (p.size() == 3) {
        if (months == 1) {
            const std::size_t at = p[0].month ? 0 : p[1].month ? 1 : 2;
            const auto& month = p[at];
            const auto& x = p[at == 0 ? 1 : 0];
            const auto& y = p[at == 2 ? 1 : 2];
            if (auto c = TryOrder(month, x, y))
                return c;
            return TryOrder(month, y, x);
        }
        // Month-day-year (the en-US order), then year-month-day, then day-month-year.
        for (const auto& c :
             {TryOrder(p[0], p[1], p[2]), TryOrder(p[1], p[2], p[0]), TryOrder(p[1], p[0], p[2])})
            if (c)
                return c;
    }
    return std::nullopt;
}

}  // namespace

HRESULT ParseDateText(std::u16string_view text, int currentYear, double& days) {
    DateParts parts;
    if (!Tokenize(text, parts))
        return DISP_E_TYPEMISMATCH;
    const int dateCount = static_cast<int>(parts.date.size());
    // The time comes first or last, never inside the date.
    if (!parts.time.empty() && parts.timeAt != 0 && parts.timeAt != dateCount)
        return DISP_E_TYPEMISMATCH;
    if (parts.time.empty() && dateCount < 2)
        return DISP_E_TYPEMISMATCH;  // a lone number is no date
    if (dateCount == 1 || dateCount > 3)
        return DISP_E_TYPEMISMATCH;

    int hour = 0, minute = 0, second = 0;
    if (!parts.time.empty()) {
        hour = parts.time[0];
        minute = parts.time.size() > 1 ? parts.time[1] : 0;
        second = parts.time.size() > 2 ? parts.time[2] : 0;
        if (hour > 23 || minute > 59 || second > 59)
            return DISP_E_TYPEMISMATCH;
        // AM/PM only means something for a 12-hour clock value.
        if (parts.meridiem == Meridiem::Pm && hour < 12)
            hour += 12;
        else if (parts.meridiem == Meridiem::Am && hour == 12)
            hour = 0;
    }
    Civil date{1899, 12, 30};
    if (dateCount > 0) {
        const auto resolved = ResolveDate(parts.date, currentYear);
        if (!resolved)
            return DISP_E_TYPEMISMATCH;
        date = *resolved;
    }
    const auto value =
        tw::platform::OleDate::FromCivil(date.year, date.month, date.day, hour, minute, second);
    if (!value.IsValid())
        return DISP_E_TYPEMISMATCH;
    days = value.Days();
    return S_OK;
}

HRESULT FormatDateText(double days, bool alwaysTime, std::u16string& out) {
    tw::platform::CivilTime t;
    if (!tw::platform::OleDate::FromDays(days).ToCivil(t))
        return DISP_E_OVERFLOW;
    std::string s;
    const bool dayZero = t.year == 1899 && t.month == 12 && t.day == 30;
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0;
    char buffer[64];
    if (!dayZero) {
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d", t.month, t.day, t.year);
        s = buffer;
    }
    if (dayZero || !midnight || alwaysTime) {
        const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        std::snprintf(buffer, sizeof buffer, "%s%d:%02d:%02d %s", s.empty() ? "" : " ", hour12,
                      t.minute, t.second, t.hour < 12 ? "AM" : "PM");
        s += buffer;
    }
    out.assign(s.begin(), s.end());
    return S_OK;
}

}  // namespace comlite::detail
