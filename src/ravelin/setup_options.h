#pragma once
// The choices of an interactive set-up run ("Setup Options"): the back-office path, the error
// log path and whether every site shares it, and the site to set up. This is the dialog's
// logic without its widgets: what it starts with, what it refuses, and the set-up paths it
// leads to.

#include <optional>
#include <string>

#include "app/command_line.h"
#include "ravelin/site_setup.h"

namespace tw::ravelin {

struct SetupOptions {
    std::string backOfficePath;  // ends in a separator when not empty
    std::string errorLogPath;    // ends in a separator when not empty
    bool useCommonErrorLogPath = false;
    std::string siteText;  // decimal; empty for every site
};

// The options the dialog opens with: the back-office path as the run found it, the error log
// path of ERRORPATH (and the shared log ticked) when the command line gives one, else the
// program directory; the chosen site as text when above 0.
SetupOptions InitialOptions(const SetupPaths& found, const CMainInfo& commandLine, int site);

// Why the options cannot be accepted: "The path you specified does not exist.  Please enter a
// valid path." when the back-office path leads to nothing on disk (a stored Windows form is
// looked up through the program directory's PATHMAP); nullopt when they can.
std::optional<std::string> RefusalOf(const SetupOptions& options,
                                     const std::string& programDirectory);

// The set-up paths for accepted options, starting from those the run found: both paths gain a
// trailing separator, and local relative ones become absolute, because Tidewell reads them
// back from wherever it is started.
SetupPaths AcceptedPaths(const SetupOptions& options, SetupPaths found);

// A directory to be written into a site file: a local relative path made absolute, with a
// trailing separator; Windows-form and network paths as given (with a separator).
std::string StoredDirectory(const std::string& path);

// The site number of a text: decimal, with an optional sign; 0 for an empty text or one that
// is not a number (every site). Negative numbers are kept so that the run can refuse them.
int ParseSiteText(const std::string& text);

}  // namespace tw::ravelin
