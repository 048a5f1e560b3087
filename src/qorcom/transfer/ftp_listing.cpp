#include "qorcom/transfer/ftp_listing.h"

#include <array>
#include <cctype>
#include <charconv>

namespace tw::qorcom::transfer {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <class T>
bool ParseNumber(std::string_view s, T* value) {
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s.front())))
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value);
    return ec == std::errc() && end == s.data() + s.size();
}

// Blank-separated fields with where each ends, so that the name can be taken as the rest of
// the line whatever blanks it holds.
struct Fields {
    std::vector<std::string_view> text;
    std::vector<std::size_t> end;
};

Fields Split(std::string_view line, std::size_t wanted) {
    Fields f;
    std::size_t i = 0;
    while (f.text.size() < wanted) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        f.text.push_back(line.substr(start, i - start));
        f.end.push_back(i);
    }
    return f;
}

int MonthNumber(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (EqualNoCase(name, kMonths[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

bool ParseUnix(std::string_view line, const platform::OleDate& now, ListingEntry* entry) {
    const Fields f = Split(line, 9);
    if (f.text.size() < 8)
        return false;
    // Without a group field the size stands fourth and everything after it moves up one.
    const std::size_t sizeField =
        std::isdigit(static_cast<unsigned char>(f.text[4].front())) ? 4 : 3;
    const std::size_t timeField = sizeField + 3;
    if (f.text.size() <= timeField)
        return false;
    std::int64_t size = 0;
    int day = 0;
    const int month = MonthNumber(f.text[sizeField + 1]);
    if (!ParseNumber(f.text[sizeField], &size) || month == 0 ||
        !ParseNumber(f.text[sizeField + 2], &day))
        return false;
    const std::string_view timeOrYear = f.text[timeField];
    int year = 0, hour = 0, minute = 0;
    bool yearShown = true;
    if (timeOrYear.size() == 5 && timeOrYear[2] == ':') {
        if (!ParseNumber(timeOrYear.substr(0, 2), &hour) ||
            !ParseNumber(timeOrYear.substr(3), &minute))
            return false;
        platform::CivilTime today;
        if (!now.ToCivil(today))
            return false;
        year = today.year;
        yearShown = false;
    } else if (!ParseNumber(timeOrYear, &year)) {
        return false;
    }
    platform::OleDate date = platform::OleDate::FromCivil(year, month, day, hour, minute);
    if (!yearShown && date.IsValid() && date.DaysSince(now) > 1.0)
        date = platform::OleDate::FromCivil(year - 1, month, day, hour, minute);
    if (!date.IsValid())
        return false;
    std::string_view name = Trim(line.substr(f.end[timeField]));
    if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos)
        name = name.substr(slash + 1);
    if (name.empty())
        return false;
    entry->name = std::string(name);
    entry->size = size;
    entry->date = date;
    entry->directory = f.text[0].front() == 'd' || f.text[0].front() == 'D';
    return true;
}

bool ParseDos(std::string_view line, ListingEntry* entry) {
    const Fields f = Split(line, 4);
    if (f.text.size() < 3)
        return false;
    const std::string_view d = f.text[0];
    int month = 0, day = 0, year = 0;
    if (d.size() != 8 || d[2] != '-' || d[5] != '-' || !ParseNumber(d.substr(0, 2), &month) ||
        !ParseNumber(d.substr(3, 2), &day) || !ParseNumber(d.substr(6, 2), &year))
        return false;
    year += year >= 70 && year <= 99 ? 1900 : 2000;
    // "12:15PM", or "12:15 PM" with the half of the day as a field of its own.
    std::string_view t = f.text[1];
    std::size_t timeEnd = f.end[1];
    std::string_view half;
    if (t.size() >= 2 && std::isalpha(static_cast<unsigned char>(t.back()))) {
        half = t.substr(t.size() - 2);
        t.remove_suffix(2);
    } else if (f.text.size() > 3) {
        half = f.text[2];
        timeEnd = f.end[2];
    }
    const std::size_t colon = t.find(':');
    int hour = 0, minute = 0;
    if (colon == std::string_view::npos || !ParseNumber(t.substr(0, colon), &hour) ||
        !ParseNumber(t.substr(colon + 1), &minute) || hour < 1 || hour > 12)
        return false;
    if (EqualNoCase(half, "AM"))
        hour = hour == 12 ? 0 : hour;
    else if (EqualNoCase(half, "PM"))
        hour = hour == 12 ? 12 : hour + 12;
    else
        return false;
    // The size or <DIR>, then the name as the rest of the line.
    const Fields rest = Split(line.substr(timeEnd), 1);
    if (rest.text.empty())
        return false;
    bool directory = false;
    std::int64_t size = 0;
    if (EqualNoCase(rest.text[0], "<DIR>"))
        directory = true;
    else if (!ParseNumber(rest.text[0], &size))
        return false;
    const std::string_view name = Trim(line.substr(timeEnd + rest.end[0]));
    const platform::OleDate date = platform::OleDate::FromCivil(year, month, day, hour, minute);
    if (name.empty() || !date.IsValid())
        return false;
    entry->name = std::string(name);
    entry->size = size;
    entry->date = date;
    entry->directory = directory;
    return true;
}

}  // namespace

std::vector<std::string> SplitListing(std::string_view text, bool longListing) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trim(line);
        if (line.empty())
            continue;
        if (longListing && line.size() >= 6 && EqualNoCase(line.substr(0, 6), "total "))
            continue;
        lines.emplace_back(line);
    }
    return lines;
}

bool ParseListingEntry(std::string_view line, const platform::OleDate& now, ListingEntry* entry) {
    *entry = ListingEntry{};
    line = Trim(line);
    if (ParseUnix(line, now, entry))
        return true;
    *entry = ListingEntry{};
    if (ParseDos(line, entry))
        return true;
    *entry = ListingEntry{};
    return false;
}

}  // namespace tw::qorcom::transfer
