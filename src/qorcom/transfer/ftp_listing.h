#pragma once
// Directory listings as FTP servers send them: splitting a LIST/NLST text into entries, and
// reading one long entry in the Unix ("drwxr-xr-x 2 user group 4096 Jan 10 12:34 dir") or the
// DOS form ("01-05-07  12:15PM  <DIR>  Sales").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ole_date.h"

namespace tw::qorcom::transfer {

// The entries of a listing: lines with their ends and leading blanks trimmed, empty lines
// dropped, and for a long listing a "total nn" line (any case) dropped.
std::vector<std::string> SplitListing(std::string_view text, bool longListing);

struct ListingEntry {
    std::string name;  // the part after the last "/" of a Unix name
    std::int64_t size = 0;
    platform::OleDate date;  // local time, seconds 0
    bool directory = false;
};

// Reads a Unix entry, else a DOS entry; false (and an empty entry) when neither fits. A Unix
// entry showing "HH:MM" instead of a year is within the last year: it gets now's year, or the
// year before when that would put it more than a day after now (in January, "Dec 20 10:00" is
// last December, never eleven months ahead).
bool ParseListingEntry(std::string_view line, const platform::OleDate& now, ListingEntry* entry);

}  // namespace tw::qorcom::transfer
