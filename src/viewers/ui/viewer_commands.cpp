#include "viewers/ui/viewer_commands.h"

#include <QString>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messages/program_messages.h"
#include "platform/wildcard.h"
#include "radiant/results_reader.h"
#include "settings/poll_hist.h"
#include "viewers/sales_view.h"
#include "viewers/ui/period_chooser_dialog.h"
#include "viewers/ui/view_page_dialog.h"
#include "viewers/viewers.h"

namespace tw::ui {
namespace {

const std::vector<int>& CommandIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> made = {viewers::kCommandViewSales, viewers::kCommandViewLastResults,
                                 viewers::kCommandHelpVersions};
        for (const viewers::MaintenanceViewer& viewer : viewers::MaintenanceViewers()) {
            made.push_back(viewer.toSendCommand);
            made.push_back(viewer.lastSentCommand);
        }
        std::sort(made.begin(), made.end());
        return made;
    }();
    return ids;
}

QString Qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Shows a page, or reports that it could not be made.
void ShowPage(QWidget* mainWindow, std::string_view title, const std::optional<std::string>& page) {
    if (!page) {
        FormatMessageTo(errorMessages(), "Unable to generate view file %s.",
                        std::string(title).c_str());
        return;
    }
    ViewPageDialog dialog(mainWindow, Qt(title), *page);
    dialog.exec();
}

void RunMaintenanceViewer(QWidget* mainWindow, const viewers::MaintenanceViewer& viewer,
                          bool lastSent, const RadiantSetup& setup) {
    const double version = viewers::ViewerNaxmlVersion(setup.naxmlVersion);
    if (const std::string_view refusal = viewers::MaintenanceRefusal(viewer, lastSent, version);
        !refusal.empty()) {
        SendMessageText(errorMessages(), refusal);
        return;
    }
    const std::string source = platform::ExistingOrExactPath(
        setup.LocalDataDirectory(), viewers::MaintenanceFileName(viewer, lastSent));
    ShowPage(mainWindow, viewers::MaintenanceTitle(viewer, lastSent),
             viewers::RenderMaintenancePage(viewer, lastSent, source, version));
}

// The period the user picks in the chooser, or nothing when it is cancelled.
std::optional<viewers::PeriodChoice> ChoosePeriod(QWidget* mainWindow, PollHist& history,
                                                  std::int32_t previous) {
    // Read again each time: a poll may have added a period while a page was open.
    PeriodChooserDialog chooser(mainWindow, viewers::ListPeriods(history), previous);
    if (chooser.exec() != QDialog::Accepted || chooser.ChosenPeriod() == nullptr)
        return std::nullopt;
    return *chooser.ChosenPeriod();
}

void RunSalesViewer(QWidget* mainWindow, const RadiantSetup& setup) {
    const std::string& dataDirectory = setup.LocalDataDirectory();
    std::unique_ptr<PollHist> history = OpenHistory(dataDirectory, setup.SiteNumber(), kDayHistory);
    if (!history)
        return;
    std::int32_t previous = -1;
    for (;;) {
        std::optional<viewers::PeriodChoice> period = ChoosePeriod(mainWindow, *history, previous);
        if (!period)
            return;
        previous = period->sequence;
        const std::string title = viewers::SalesTitle(period->sequence, period->end);
        ShowPage(mainWindow, title,
                 viewers::RenderSalesPage(dataDirectory, period->sequence, history->SlotCount(),
                                          period->end));
    }
}

}  // namespace

std::span<const int> ViewerCommandIds() {
    return CommandIds();
}

bool IsViewerCommand(int commandId) {
    return std::binary_search(CommandIds().begin(), CommandIds().end(), commandId);
}

bool RunViewerCommand(QWidget* mainWindow, int commandId, const RadiantSetup& setup) {
    bool lastSent = false;
    if (const viewers::MaintenanceViewer* viewer =
            viewers::FindMaintenanceViewer(commandId, &lastSent)) {
        RunMaintenanceViewer(mainWindow, *viewer, lastSent, setup);
        return true;
    }
    switch (commandId) {
        case viewers::kCommandViewSales:
            RunSalesViewer(mainWindow, setup);
            return true;
        case viewers::kCommandViewLastResults:
            ShowPage(mainWindow, viewers::kResultsTitle,
                     viewers::RenderResultsPage(platform::ExistingOrExactPath(
                         setup.LocalDataDirectory(), radiant::kResultsFileName)));
            return true;
        case viewers::kCommandHelpVersions:
            ShowVersionsPage(mainWindow, &setup);
            return true;
        default:
            return false;
    }
}

void ShowVersionsPage(QWidget* mainWindow, const RadiantSetup* setup) {
    std::string posLog;
    std::string pollerLog;
    if (setup != nullptr) {
        const std::string& logs = setup->LocalLogDirectory();
        posLog =
            platform::ExistingOrExactPath(logs, viewers::PosVersionLogName(setup->SiteNumber()));
        pollerLog =
            platform::ExistingOrExactPath(logs, viewers::PollerVersionLogName(setup->SiteNumber()));
    }
    ShowPage(mainWindow, viewers::kVersionsTitle, viewers::RenderVersionsPage(posLog, pollerLog));
}

}  // namespace tw::ui
