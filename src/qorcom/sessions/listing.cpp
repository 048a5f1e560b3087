#include "qorcom/sessions/listing.h"

#include "platform/ole_date.h"
#include "platform/wildcard.h"
#include "qorcom/transfer/ftp_listing.h"

namespace tw::qorcom {

std::optional<ListingEntry> ParseListingLine(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto last = line.find_last_not_of(" \t\r\n");
    transfer::ListingEntry parsed;
    if (!transfer::ParseListingEntry(line.substr(first, last - first + 1), platform::OleDate::Now(),
                                     &parsed))
        return std::nullopt;
    return ListingEntry{std::move(parsed.name), parsed.size, parsed.date.Days(), parsed.directory};
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
        if (const auto entry = ParseListingLine(line))
            AddEntry(entry->name, line);
    }
}

void ListingCollector::AddEntry(std::string_view name, std::string_view line) {
    if (name.empty() || name == "." || name == ".." || !MaskSelects(mask_, name))
        return;
    items_.emplace_back(longForm_ ? line : name);
}

}  // namespace tw::qorcom
