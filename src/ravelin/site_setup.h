#pragma once
// Setting up the poller working area of one site or all sites: the site's working directory,
// its site file ("RAVELIN.nnn" in the program directory) and its initial files copied from the
// templates ("*.STA") of the program directory.

#include <string>
#include <vector>

#include "app/command_line.h"
#include "ravelin/poller_table.h"

namespace tw::ravelin {

struct SetupPaths {
    std::string programDirectory;  // POSIX, ends in '/'
    std::string siteRoot;          // where the site directories go; ends in '/'
    std::string backOfficePath;    // as given (Windows or POSIX form), ends in a separator
    std::string errorLogPath;      // ends in a separator
    bool useCommonErrorLogPath = false;
};

// One set-up run. Progress goes to screenMessages(), failures to errorMessages(); a failure
// is reported and the run goes on with the next step.
class SiteSetup {
public:
    SiteSetup(SetupPaths paths, const CMainInfo& commandLine);

    // Announces the poller, then sets up every site from 1 to HighestSiteNumber() when
    // chosenSite is 0, else only chosenSite. With /SITES=n a chosen site above n sets up
    // nothing; without it, a chosen site always counts as one of the installation. A negative
    // chosenSite sets up nothing and is reported.
    void Run(int chosenSite);

    // One site: the site file (kept when it exists, unless OVERWRITE), the directory, and the
    // templates not yet present. False when anything failed (reported).
    bool SetUpSite(int site, const std::vector<std::string>& templates);

    // The number of sites of the installation: the SITES=n switch when given, else the
    // highest number among the existing site files and numbered site directories; at least 1.
    int HighestSiteNumber() const;
    // The template files of the program directory, full paths, by name.
    std::vector<std::string> Templates() const;
    // The poller named by a switch (first table row named), else the guess from the
    // executables in the program directory, else from those beside ravelin; null when none
    // finds one.
    const PollerInfo* FindPoller() const;

    // The four lines of a site file for site.
    std::string SiteFileText(int site) const;

private:
    std::string SiteDirectory(int site) const;

    SetupPaths paths_;
    const CMainInfo& commandLine_;
    PollerTable table_;
};

// Path text without its trailing separators ('/' or '\').
std::string WithoutTrailingSeparator(std::string path);

}  // namespace tw::ravelin
