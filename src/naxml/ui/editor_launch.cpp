#include "naxml/ui/editor_launch.h"

#include <iostream>
#include <optional>

#include "messages/program_messages.h"
#include "messages/ui/qt_prompter.h"
#include "naxml/editors/department_editor.h"
#include "naxml/ui/grid_dialog.h"
#include "platform/paths.h"
#include "settings/radiant_setup.h"

namespace tw::ui {
namespace {

struct LauncherArguments {
    std::string command;
    naxml::MaintenanceSite site;
    std::string backOffice;
};

std::optional<LauncherArguments> ParseArguments(const std::vector<std::string>& args) {
    LauncherArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--site-dir" && hasValue) {
            parsed.site.directory = platform::AddSeparator(args[++i]);
        } else if (arg == "--site" && hasValue) {
            try {
                parsed.site.siteNumber = std::stoi(args[++i]);
            } catch (const std::exception&) {
                return std::nullopt;
            }
        } else if (arg == "--back-office" && hasValue) {
            parsed.backOffice = args[++i];
        } else if (parsed.command.empty() && (arg == "departments" || arg == "itemlists")) {
            parsed.command = arg;
        } else {
            return std::nullopt;
        }
    }
    if (parsed.command.empty() || parsed.site.directory.empty())
        return std::nullopt;
    return parsed;
}

// The launcher has no message list: texts go to the standard error, and errors are also shown
// to the user.
class LauncherMessage final : public Message {
public:
    explicit LauncherMessage(Prompter* shows = nullptr) : shows_(shows) {}
    void Output(const std::string& text) override {
        std::cerr << text << '\n';
        if (shows_ != nullptr)
            shows_->ShowMessage(text);
    }

private:
    Prompter* shows_;
};

}  // namespace

naxml::PendingDeletions& RunPendingDeletions() {
    static naxml::PendingDeletions deletions;
    return deletions;
}

naxml::MaintenanceSite MaintenanceSiteOf(const RadiantSetup& setup) {
    naxml::MaintenanceSite site;
    site.siteNumber = setup.SiteNumber();
    site.directory = platform::AddSeparator(setup.LocalDataDirectory());
    return site;
}

void OpenDepartmentEditor(const naxml::MaintenanceSite& site, Prompter& prompter, QWidget* parent) {
    naxml::DepartmentEditor editor(site, prompter, RunPendingDeletions());
    editor.Load();
    DepartmentDialog dialog(editor, parent);
    dialog.exec();
}

void OpenDepartmentEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent) {
    if (setup != nullptr)
        OpenDepartmentEditor(MaintenanceSiteOf(*setup), prompter, parent);
}

int RunEditLauncher(const std::vector<std::string>& args, Prompter* prompter) {
    const std::optional<LauncherArguments> parsed = ParseArguments(args);
    if (!parsed) {
        std::cerr << kEditLauncherUsage;
        return 2;
    }
    QtPrompter boxes;
    Prompter& asks = prompter != nullptr ? *prompter : boxes;
    LauncherMessage error(&asks), status;
    ScopedProgramMessages installed(ProgramMessages{&error, &status, nullptr, &status, nullptr});
    if (parsed->command == "departments")
        OpenDepartmentEditor(parsed->site, asks);
    return 0;
}

}  // namespace tw::ui
