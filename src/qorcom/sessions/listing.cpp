#include "qorcom/sessions/listing.h"

#include <cctype>
#include <charconv>

#include "platform/ole_date.h"
#include "platform/wildcard.h"

namespace tw::qorcom {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Splits off the first blank-separated field; text keeps the rest (leading blanks removed).
std::string_view NextField(std::string_view& text) {
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t")));
    const auto end = std::min(text.size(), text.find_first_of(" \t"));
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end);
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t")));
    return field;
}

template <class T>
bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

int MonthNumber(std::string_view name) {
    constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (platform::EqualsIgnoreCase(name, kMonths[i]))
            return i + 1;
    return 0;
}

bool StartsWithDigit(std::string_view text) {
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]));
}

}  // namespace

std::optional<ListingEntry> ParseUnixListingLine(std::string_view line) {
    std::string_view rest = Trim(line);
    std::string_view fields[5];  // permissions, links, owner, group, size (or size, month)
    for (auto& field : fields) field = NextField(rest);
    std::string_view sizeText = fields[4], monthText;
    if (StartsWithDigit(fields[4])) {
        monthText = NextField(rest);
    } else {  // no group field
        sizeText = fields[3];
        monthText = fields[4];
    }
    const std::string_view dayText = NextField(rest);
    const std::string_view timeText = NextField(rest);
    std::string_view name = Trim(rest);
    ListingEntry entry;
    const int month = MonthNumber(monthText);
    int day = 0, year = 0, hour = 0, minute = 0;
    if (fields[0].empty() || !Number(sizeText, entry.size) || month == 0 || !Number(dayText, day) ||
        name.empty())
        return std::nullopt;
    if (timeText.size() == 5 && timeText[2] == ':') {
        if (!Number(timeText.substr(0, 2), hour) || !Number(timeText.substr(3), minute))
            return std::nullopt;
        platform::CivilTime now;
        platform::OleDate::Now().ToCivil(now);
        year = now.year;
    } else if (!Number(timeText, year)) {
        return std::nullopt;
    }
    const platform::OleDate date = platform::OleDate::FromCivil(year, month, day, hour, minute);
    if (!date.IsValid())
        return std::nullopt;
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    entry.name = std::string(name);
    entry.date = date.Days();
    entry.directory = fields[0][0] == 'd' || fields[0][0] == 'D';
    return entry;
}

std::optional<ListingEntry> ParseDosListingLine(std::string_view line) {
    std::string_view rest = Trim(line);
    const std::string_view dateText = NextField(rest);
    const std::string_view timeText = NextField(rest);
    const std::string_view sizeText = NextField(rest);
    const std::string_view name = Trim(rest);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    if (dateText.size() != 8 || dateText[2] != '-' || dateText[5] != '-' ||
        !Number(dateText.substr(0, 2), month) || !Number(dateText.substr(3, 2), day) ||
        !Number(dateText.substr(6, 2), year))
        return std::nullopt;
    year += year >= 70 ? 1900 : 2000;
    const auto colon = timeText.find(':');
    if (colon == std::string_view::npos || timeText.size() != colon + 5 ||
        !Number(timeText.substr(0, colon), hour) || !Number(timeText.substr(colon + 1, 2), minute))
        return std::nullopt;
    const std::string_view half = timeText.substr(colon + 3);
    const bool pm = platform::EqualsIgnoreCase(half, "PM");
    if ((!pm && !platform::EqualsIgnoreCase(half, "AM")) || hour < 1 || hour > 12)
        return std::nullopt;
    hour = hour % 12 + (pm ? 12 : 0);
    ListingEntry entry;
    entry.directory = platform::EqualsIgnoreCase(sizeText, "<DIR>");
    if ((!entry.directory && !Number(sizeText, entry.size)) || name.empty())
        return std::nullopt;
    const platform::OleDate date = platform::OleDate::FromCivil(year, month, day, hour, minute);
    if (!date.IsValid())
        return std::nullopt;
    entry.name = std::string(name);
    entry.date = date.Days();
    return entry;
}

std::optional<ListingEntry> ParseListingLine(std::string_view line) {
    if (auto entry = ParseUnixListingLine(line))
        return entry;
    return ParseDosListingLine(line);
}

bool MaskSelects(std::string_view mask, std::string_view name) {
    if (mask.empty() || mask == name)
        return true;
    if (mask.find_first_of("*?") != std::string_view::npos)
        return platform::MatchMask(mask, name);
    return false;
}

void ListingCollector::AddText(std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        if (const auto entry = ParseUnixListingLine(line))
            AddEntry(entry->name, line);
    }
}

void ListingCollector::AddEntry(std::string_view name, std::string_view line) {
    if (name.empty() || name == "." || name == ".." || !MaskSelects(mask_, name))
        return;
    items_.emplace_back(longForm_ ? line : name);
}

}  // namespace tw::qorcom
