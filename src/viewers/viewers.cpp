#include "viewers/viewers.h"

#include <array>
#include <cmath>

#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "settings/poller_setup.h"
#include "viewers/page.h"
#include "viewers/view_source.h"

namespace tw::viewers {
namespace {

constexpr double kItemVersions[] = {3.2, 3.3, 3.4};
constexpr double kOnly33[] = {3.3};
constexpr double kVersions33And34[] = {3.3, 3.4};

constexpr std::string_view kDefaultVersionText =
    "View data only works on NACS XML Version 3.3 or 3.4.\n";

constexpr std::array<MaintenanceViewer, 11> kViewers = {{
    {"ITT", 40001, 40002, "Items to Send", "Items Last Sent", kItemVersions,
     "View data only works on NACS XML Version 3.2, 3.3, or 3.4.\n", "", "", "No Items to View.\n",
     Stylesheet::kItems},
    {"MCT",
     40006,
     40007,
     "Departments to Send",
     "Departments Last Sent",
     {},
     kDefaultVersionText,
     "",
     "",
     "No Departments to View.\n",
     Stylesheet::kDepartments,
     true},
    {"FGT", 40020, 40021, "Grade Prices to Send", "Grade Prices Last Sent", kOnly33,
     kDefaultVersionText, "Grade Prices viewer requires NAXML 3.3.",
     "Grade Prices viewer requires NAXML 3.3.", "No Grades to View.\n", Stylesheet::kGrades},
    {"TPT", 40022, 40023, "Tanks to Send", "Tanks Last Sent", kOnly33, kDefaultVersionText,
     "Tank viewer requires NAXML 3.3.", "Tank viewer requires NAXML 3.3.", "No Tanks to View.\n",
     Stylesheet::kTanks},
    {"ILT", 40024, 40025, "Item Group to Send", "Item Group Last Sent", kItemVersions,
     "View data only works on NACS XML Version 3.3, 3.2, or 3.4.\n", "", "",
     "No Item Group to View.\n", Stylesheet::kItemLists},
    {"CBT", 40026, 40027, "Promotion/Combo to Send", "Promotion/Combo Last Sent", kOnly33,
     "View data only works on NACS XML Version 3.3.\n", "", "", "No Promotion/Combo to View.\n",
     Stylesheet::kCombos},
    {"MMT", 40028, 40029, "Promotion/MixMatch to Send", "Promotion/MixMatch Last Sent",
     kVersions33And34, kDefaultVersionText, "", "", "No Promotion/MixMatch to View.\n",
     Stylesheet::kMixMatch},
    {"TIT", 40030, 40031, "Tax Includes to Send", "Tax Includes Last Sent", kOnly33,
     kDefaultVersionText, "Tax Includes viewer requires NAXML 3.3.",
     "Tax Includes viewer requires NAXML 3.3.", "No Tax Includes to View.\n",
     Stylesheet::kTaxIncludes},
    {"TLT", 40032, 40033, "Tax Levels to Send", "Tax Levels Last Sent", kOnly33,
     kDefaultVersionText, "Tax Levels viewer requires NAXML 3.3.",
     "Tax Levels viewer requires NAXML 3.3.", "No Tax Levels to View.\n", Stylesheet::kTaxLevels},
    {"TST", 40034, 40035, "Tax Strategy to Send", "Tax Strategy Last Sent", kOnly33,
     kDefaultVersionText, "Tax Strategy viewer requires NAXML 3.3.",
     "Tax Strategy viewer requires NAXML 3.3.", "No Tax Strategy to View.\n",
     Stylesheet::kTaxStrategies},
    {"FPT", 40036, 40037, "Fuel Product to Send", "Fuel Product Last Sent", kOnly33,
     kDefaultVersionText, "FuelProduct viewer requires NAXML 3.3.",
     "Fuel Product viewer requires NAXML 3.3.", "No Fuel Product to View.\n",
     Stylesheet::kFuelProducts},
}};

bool SameVersion(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

// The page of a loaded document: head, the transform's tables, foot.
std::optional<std::string> TransformedPage(std::string_view title, const XmlDocument& document,
                                           Stylesheet stylesheet) {
    std::string page = PageHead(title);
    if (!TransformInto(document, stylesheet, page))
        return std::nullopt;
    page += PageFoot();
    return page;
}

std::string ReadLog(const std::string& path) {
    std::optional<std::string> text = platform::ReadFile(path);
    return text ? *text : std::string();
}

}  // namespace

std::span<const MaintenanceViewer> MaintenanceViewers() {
    return kViewers;
}

const MaintenanceViewer* FindMaintenanceViewer(int commandId, bool* lastSent) {
    for (const MaintenanceViewer& viewer : kViewers) {
        if (viewer.toSendCommand == commandId || viewer.lastSentCommand == commandId) {
            if (lastSent != nullptr)
                *lastSent = viewer.lastSentCommand == commandId;
            return &viewer;
        }
    }
    return nullptr;
}

const MaintenanceViewer* FindMaintenanceViewer(std::string_view code) {
    for (const MaintenanceViewer& viewer : kViewers) {
        if (platform::EqualsIgnoreCase(viewer.code, code))
            return &viewer;
    }
    return nullptr;
}

std::string MaintenanceFileName(const MaintenanceViewer& viewer, bool lastSent) {
    return std::string(viewer.code) + (lastSent ? "BAK.XML" : ".XML");
}

std::string_view MaintenanceTitle(const MaintenanceViewer& viewer, bool lastSent) {
    return lastSent ? viewer.lastSentTitle : viewer.toSendTitle;
}

std::string_view MaintenanceRefusal(const MaintenanceViewer& viewer, bool lastSent,
                                    double naxmlVersion) {
    if (SameVersion(naxmlVersion, 3.3))
        return {};
    return lastSent ? viewer.lastSentRequires : viewer.toSendRequires;
}

double ViewerNaxmlVersion(std::string_view naxmlVersionSetting) {
    return naxmlVersionSetting == "3.3" ? 3.3 : 0.0;
}

bool AcceptsVersion(const MaintenanceViewer& viewer, double naxmlVersion) {
    if (viewer.acceptedVersions.empty())
        return true;
    for (double accepted : viewer.acceptedVersions) {
        if (SameVersion(accepted, naxmlVersion))
            return true;
    }
    return false;
}

std::string TextPage(std::string_view title, std::string_view text) {
    return FramedPage(title, text);
}

std::optional<std::string> RenderMaintenancePage(const MaintenanceViewer& viewer, bool lastSent,
                                                 const std::string& sourcePath,
                                                 double naxmlVersion) {
    const std::string_view title = MaintenanceTitle(viewer, lastSent);
    if (!AcceptsVersion(viewer, naxmlVersion))
        return TextPage(title, viewer.versionText);
    XmlDocument document;
    if (!LoadForViewing(sourcePath, document))
        return TextPage(title, viewer.emptyText);
    std::optional<std::string> page = TransformedPage(title, document, viewer.stylesheet);
    if (!page && viewer.transformErrorPage)
        return TextPage(title, "View data error.\n");
    return page;
}

std::optional<std::string> RenderResultsPage(const std::string& resultsPath) {
    XmlDocument document;
    if (!LoadForViewing(resultsPath, document))
        return TextPage(kResultsTitle, kResultsEmptyText);
    return TransformedPage(kResultsTitle, document, Stylesheet::kResults);
}

std::string RenderVersionsPage(const std::string& posVersionLogPath,
                               const std::string& pollerVersionLogPath) {
    std::string page = "<html><p>" + EscapeHtml(kVersionsTitle) + "</p><body><pre>\n";
    page += EscapeHtml(ReadLog(posVersionLogPath));
    page += "<p></p>\n";
    page += EscapeHtml(ReadLog(pollerVersionLogPath));
    page += "</pre></body></html>\n";
    return page;
}

std::string PosVersionLogName(int site) {
    return NumberedFileName("VersionPOS", site);
}

std::string PollerVersionLogName(int site) {
    return NumberedFileName("VersionPoller", site);
}

}  // namespace tw::viewers
