#include "naxml/ui/editor_launch.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <system_error>

#include <QApplication>

#include "app/automation/automation_objects.h"
#include "messages/program_messages.h"
#include "messages/ui/qt_prompter.h"
#include "naxml/editors/combo_editor.h"
#include "naxml/editors/department_editor.h"
#include "naxml/editors/item_list_editor.h"
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
        } else if (parsed.command.empty() && (arg == "departments" || arg == "itemlists" ||
                                              arg == "combos" || arg == "mixmatch")) {
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

std::vector<std::string> ReadItemChoices(const std::string& backOfficeDirectory,
                                         const std::string& localDirectory, int siteNumber) {
    std::error_code error;
    if (backOfficeDirectory.empty() || localDirectory.empty() ||
        !std::filesystem::is_directory(localDirectory, error))
        return {};
    const DispatchDriver station =
        OpenStation(static_cast<std::int16_t>(siteNumber), backOfficeDirectory);
    if (!station)
        return {};
    const auto items = ReadBackOfficeItems(station);
    if (!items)
        return {};
    std::vector<naxml::BackOfficeItemRecord> records;
    records.reserve(items->size());
    for (const BackOfficeItem& item : *items) {
        records.push_back({item.active, item.upcCode, item.upcPackSize, item.description, item.id,
                           item.packSize});
    }
    return naxml::ItemChoices(records);
}

namespace {

// Keeps an editor for as long as its dialog. Made a child of the dialog after the dialog's own
// widgets, it is deleted after them: the grid view never outlives the grid it shows.
template <typename Editor>
class EditorOwner final : public QObject {
public:
    explicit EditorOwner(std::unique_ptr<Editor> editor) : editor_(std::move(editor)) {}
    Editor& Get() { return *editor_; }

private:
    std::unique_ptr<Editor> editor_;
};

// An item list editor with its dialog; the editor goes with the dialog (closed, or destroyed
// with its parent window).
ItemListDialog* MakeItemListDialog(const naxml::MaintenanceSite& site,
                                   const std::string& backOffice,
                                   const std::string& localBackOffice, Prompter& prompter,
                                   QWidget* parent) {
    auto* owner = new EditorOwner(
        std::make_unique<naxml::ItemListEditor>(site, prompter, RunPendingDeletions()));
    owner->Get().Load();
    auto* dialog = new ItemListDialog(
        owner->Get(),
        [backOffice, localBackOffice, number = site.siteNumber] {
            return ReadItemChoices(backOffice, localBackOffice, number);
        },
        parent);
    owner->setParent(dialog);
    return dialog;
}

// An editor read back under the wait cursor, with its dialog; the editor goes with the dialog.
template <typename Dialog, typename Editor>
Dialog* MakeEditorDialog(const naxml::MaintenanceSite& site, Prompter& prompter, QWidget* parent) {
    auto* owner = new EditorOwner(std::make_unique<Editor>(site, prompter, RunPendingDeletions()));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    owner->Get().Load();
    QApplication::restoreOverrideCursor();
    auto* dialog = new Dialog(owner->Get(), parent);
    owner->setParent(dialog);
    return dialog;
}

template <typename Dialog>
Dialog* ShowModeless(Dialog* dialog) {
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->show();
    return dialog;
}

ComboDialog* MakeComboDialog(const naxml::MaintenanceSite& site, Prompter& prompter,
                             QWidget* parent) {
    return MakeEditorDialog<ComboDialog, naxml::ComboEditor>(site, prompter, parent);
}

MixMatchDialog* MakeMixMatchDialog(const naxml::MaintenanceSite& site, Prompter& prompter,
                                   QWidget* parent) {
    return MakeEditorDialog<MixMatchDialog, naxml::MixMatchEditor>(site, prompter, parent);
}

}  // namespace

void OpenComboEditor(const naxml::MaintenanceSite& site, Prompter& prompter, QWidget* parent) {
    std::unique_ptr<ComboDialog> dialog(MakeComboDialog(site, prompter, parent));
    dialog->exec();
}

void OpenComboEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent) {
    if (setup != nullptr)
        ShowComboEditor(MaintenanceSiteOf(*setup), prompter, parent);
}

ComboDialog* ShowComboEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                             QWidget* parent) {
    return ShowModeless(MakeComboDialog(site, prompter, parent));
}

void OpenMixMatchEditor(const naxml::MaintenanceSite& site, Prompter& prompter, QWidget* parent) {
    std::unique_ptr<MixMatchDialog> dialog(MakeMixMatchDialog(site, prompter, parent));
    dialog->exec();
}

void OpenMixMatchEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent) {
    if (setup != nullptr)
        ShowMixMatchEditor(MaintenanceSiteOf(*setup), prompter, parent);
}

MixMatchDialog* ShowMixMatchEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                                   QWidget* parent) {
    return ShowModeless(MakeMixMatchDialog(site, prompter, parent));
}

void OpenItemListEditor(const naxml::MaintenanceSite& site, const std::string& backOfficeDirectory,
                        const std::string& localBackOfficeDirectory, Prompter& prompter,
                        QWidget* parent) {
    std::unique_ptr<ItemListDialog> dialog(
        MakeItemListDialog(site, backOfficeDirectory, localBackOfficeDirectory, prompter, parent));
    dialog->exec();
}

void OpenItemListEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent) {
    if (setup == nullptr)
        return;
    const std::string stored = setup->BackOfficeDirectory();
    const std::string local = setup->Resolver().ResolveLocal(stored, nullptr).value_or("");
    ShowItemListEditor(MaintenanceSiteOf(*setup), stored, local, prompter, parent);
}

ItemListDialog* ShowItemListEditor(const naxml::MaintenanceSite& site,
                                   const std::string& backOfficeDirectory,
                                   const std::string& localBackOfficeDirectory, Prompter& prompter,
                                   QWidget* parent) {
    ItemListDialog* dialog =
        MakeItemListDialog(site, backOfficeDirectory, localBackOfficeDirectory, prompter, parent);
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->show();
    return dialog;
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
    if (parsed->command == "departments") {
        OpenDepartmentEditor(parsed->site, asks);
    } else if (parsed->command == "combos") {
        OpenComboEditor(parsed->site, asks);
    } else if (parsed->command == "mixmatch") {
        OpenMixMatchEditor(parsed->site, asks);
    } else {
        const platform::PathResolver resolver;
        const std::string local = resolver.ResolveLocal(parsed->backOffice, nullptr).value_or("");
        OpenItemListEditor(parsed->site, parsed->backOffice, local, asks);
    }
    return 0;
}

}  // namespace tw::ui
