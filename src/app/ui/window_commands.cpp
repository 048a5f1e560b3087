#include "app/ui/window_commands.h"

#include "app/automation/ras_automation.h"
#include "app/shell/commands.h"
#include "app/shell/radiant_poll_app.h"
#include "app/ui/main_frame.h"
#include "naxml/ui/editor_launch.h"
#include "settings/ui/site_settings_dialog.h"
#include "viewers/ui/viewer_commands.h"

namespace tw::ui {

void AttachSiteSettingsCommand(CMainFrame& frame, CRadiantPollApp& app) {
    frame.SetCommandHandler(commands::kSiteSettings, [&frame, &app] {
        RadiantSetup* setup = app.Setup();
        if (setup == nullptr)
            return;
        const bool wasPolling = app.IsPolling();
        if (wasPolling)
            app.StopPolling();
        DispatchDialUpDirectory dialUp;
        EditSiteSettings(&frame, *setup, frame.GetPrompter(), dialUp);
        if (wasPolling)
            app.StartPolling();
    });
}

void AttachEditorCommands(CMainFrame& frame, CRadiantPollApp& app) {
    frame.SetCommandHandler(commands::kEditDepartments, [&frame, &app] {
        OpenDepartmentEditor(app.Setup(), frame.GetPrompter(), &frame);
    });
    frame.SetCommandHandler(commands::kEditItemGroups, [&frame, &app] {
        OpenItemListEditor(app.Setup(), frame.GetPrompter(), &frame);
    });
    frame.SetCommandHandler(commands::kEditPromotions, [&frame, &app] {
        OpenComboEditor(app.Setup(), frame.GetPrompter(), &frame);
    });
    frame.SetCommandHandler(commands::kEditMixMatch, [&frame, &app] {
        OpenMixMatchEditor(app.Setup(), frame.GetPrompter(), &frame);
    });
}

void AttachViewerCommands(CMainFrame& frame, CRadiantPollApp& app) {
    for (const int id : ViewerCommandIds()) {
        if (id == commands::kVersions) {
            frame.SetCommandHandler(id, [&frame, &app] { ShowVersionsPage(&frame, app.Setup()); });
            continue;
        }
        frame.SetCommandHandler(id, [&frame, &app, id] {
            if (const RadiantSetup* setup = app.Setup())
                RunViewerCommand(&frame, id, *setup);
        });
    }
}

}  // namespace tw::ui
