#pragma once
// Directory listing lines of the file-transfer components: parsing a Unix ("ls -l") or DOS
// listing line, and collecting the entries a FindFirst mask selects.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::qorcom {

struct ListingEntry {
    std::string name;
    std::int64_t size = 0;
    double date = 0;  // automation DATE, local civil time, seconds 0
    bool directory = false;
};

// The trimmed line read as the FTP component reads a listing entry (a Unix line, else a DOS
// line; see transfer::ParseListingEntry), with the date as an automation DATE; nullopt when it
// is neither.
std::optional<ListingEntry> ParseListingLine(std::string_view line);

// True when a listed name belongs to a listing for mask: an empty mask or the name itself
// selects it; a mask with "*" or "?" selects the names it matches ("*" any run, "?" one
// character, letters in either case); any other mask selects only the equal name.
bool MaskSelects(std::string_view mask, std::string_view name);

// The listing of one FindFirst: entries are added as the server reports them; "." and ".."
// and names the mask does not select are left out. Each kept entry is its name, or its whole
// line in long form.
class ListingCollector {
public:
    ListingCollector(std::string mask, bool longForm)
        : mask_(std::move(mask)), longForm_(longForm) {}

    // Text of one or more listing lines separated by CR LF; each is parsed for its name.
    void AddText(std::string_view text);
    // One entry whose exact name is known (the line is still what long form shows).
    void AddEntry(std::string_view name, std::string_view line);

    std::vector<std::string> Take() { return std::move(items_); }

private:
    std::string mask_;
    bool longForm_;
    std::vector<std::string> items_;
};

}  // namespace tw::qorcom
