#pragma once
// The viewers of Tidewell's View and Help menus, without a window: each makes the whole HTML
// page of its view as UTF-8 text (no view file is written; the dialog and tidewell-view take
// the text). Which command opens which viewer on which file, with which title, which NAXML
// versions the viewer accepts and what it says when there is nothing to show.
//
// Every maintenance file exists twice in the site's data directory: the file waiting to be
// sent ("ITT.XML") and the copy last sent ("ITTBAK.XML").
//
// Failures: a missing, unreadable or malformed source gives a page with the viewer's empty
// text (parse errors are also reported to logMessages()); an unsupported version gives a page
// with the viewer's version text. Nothing here reports to errorMessages() except where said.
// Viewing never changes a file (view_source.h).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "viewers/stylesheets.h"

namespace tw::viewers {

// Command identifiers of the View and Help menus.
inline constexpr int kCommandViewSales = 32775;
inline constexpr int kCommandViewLastResults = 40044;
inline constexpr int kCommandHelpVersions = 40051;

// One maintenance viewer: a row of the table of maintenance views.
struct MaintenanceViewer {
    std::string_view code;  // "ITT": the file is code + ".XML", its last sent copy code + "BAK.XML"
    int toSendCommand;
    int lastSentCommand;
    std::string_view toSendTitle;
    std::string_view lastSentTitle;
    // The versions the viewer shows; none means every version.
    std::span<const double> acceptedVersions;
    std::string_view versionText;  // the page when the version is not accepted
    // What the command reports (errorMessages) and then shows nothing, when the site's
    // NaxmlVersion is not 3.3; empty when the command does not check.
    std::string_view toSendRequires;
    std::string_view lastSentRequires;
    std::string_view emptyText;
    Stylesheet stylesheet;
    // A failed transform gives the page "View data error.\n" (else no page at all).
    bool transformErrorPage = false;
};

// The eleven maintenance viewers: items, departments, grades, tanks, item lists, combos,
// mix-and-match, tax includes, tax levels, tax strategies, fuel products.
std::span<const MaintenanceViewer> MaintenanceViewers();
// The viewer a command opens, and whether it shows the last sent copy; null for another id.
const MaintenanceViewer* FindMaintenanceViewer(int commandId, bool* lastSent = nullptr);
// The viewer of a file code ("ITT", any case); null for another code.
const MaintenanceViewer* FindMaintenanceViewer(std::string_view code);

// "ITT.XML" / "ITTBAK.XML".
std::string MaintenanceFileName(const MaintenanceViewer& viewer, bool lastSent);
std::string_view MaintenanceTitle(const MaintenanceViewer& viewer, bool lastSent);
// The "requires" text of the command, or empty when the site's version passes.
std::string_view MaintenanceRefusal(const MaintenanceViewer& viewer, bool lastSent,
                                    double naxmlVersion);

// The version passed to the viewers: 3.3 when the site's NaxmlVersion is exactly "3.3",
// otherwise 0.
double ViewerNaxmlVersion(std::string_view naxmlVersionSetting);

// Whether the viewer shows files of this version.
bool AcceptsVersion(const MaintenanceViewer& viewer, double naxmlVersion);

// The page of a maintenance file (sourcePath: the file to show). nullopt only when the
// transform failed and the viewer has no page for that (the caller reports "Unable to generate
// view file %s.").
std::optional<std::string> RenderMaintenancePage(const MaintenanceViewer& viewer, bool lastSent,
                                                 const std::string& sourcePath,
                                                 double naxmlVersion);

// The results file.
inline constexpr std::string_view kResultsTitle = "Last Sent Results";
inline constexpr std::string_view kResultsEmptyText =
    "No Last Sent Results to view or the XML is not well formed.\n";
// The page of the POS's results file (ILG.XML): the five tables of counts, then its error
// messages; the empty text when it cannot be loaded. nullopt when the transform failed.
std::optional<std::string> RenderResultsPage(const std::string& resultsPath);

// The version logs.
inline constexpr std::string_view kVersionsTitle = "Radiant/Tidewell Version Information";
// "<html><p>" title "</p><body><pre>\n", the POS version log, "<p></p>\n", the poller version
// log, "</pre></body></html>\n". Both logs are escaped: the POS writes the first, and a "<" or
// "&" in its text must show as written, never become markup. A missing log is empty.
std::string RenderVersionsPage(const std::string& posVersionLogPath,
                               const std::string& pollerVersionLogPath);
// "VersionPOS.001", "VersionPoller.001".
std::string PosVersionLogName(int site);
std::string PollerVersionLogName(int site);

// A page that says text (the empty and version texts).
std::string TextPage(std::string_view title, std::string_view text);

}  // namespace tw::viewers
