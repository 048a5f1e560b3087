#pragma once
// The site file "RAVELIN.<site>" in the program directory: written by Ravelin, read by the
// poller. Lines: the site's data directory, the back-office directory, the log directory, and
// (never read) the back-office directory again.

#include <string>
#include <string_view>

namespace tw {

struct SiteDirectories {
    std::string dataDirectory;
    std::string backOfficeDirectory;
    std::string logDirectory;
};

// True for a path in Windows form: a drive letter ("C:"), a leading "\\", or any backslash.
bool IsWindowsFormPath(std::string_view text);

// The value of one site-file line. In a Windows-form line everything from the first '/' is a
// comment (as Windows installations wrote them); in a POSIX-form line a comment starts at a
// '/' preceded by a blank or tab, so "/srv/qor/001  / data" gives "/srv/qor/001/". The rest is
// trimmed; a non-empty value gains a trailing separator of its own form ('\' or '/').
std::string SiteFileValue(std::string_view line);

// The text Ravelin writes: four lines, each ending in "\n" and without a trailing separator:
// data directory, back-office directory, log directory, back-office directory. Values that
// contain a blank or tab followed by '/' would read back shorter (see SiteFileValue).
std::string FormatSiteFile(const SiteDirectories& directories);

}  // namespace tw
