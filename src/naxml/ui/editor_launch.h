#pragma once
// Opening the maintenance editors: from Tidewell's Edit menu for the open site, and from the
// small launcher `tidewell-edit` for scripted use and for users without the full window.
//
// The pending deletions of the editors live for the whole run of the program
// (RunPendingDeletions): a row deleted in one opening of an editor is written by its next
// save.
//
// Threads: the UI thread only, with a QApplication.

#include <QWidget>
#include <string>
#include <vector>

#include "messages/ui_interfaces.h"
#include "naxml/maintenance/maintenance_records.h"
#include "naxml/maintenance/pending_deletions.h"

namespace tw {
class RadiantSetup;
}

namespace tw::ui {

// The deletions of every editor for this run of the program.
naxml::PendingDeletions& RunPendingDeletions();

// Where a site's editors read and write: its data directory, from which the sender sends.
naxml::MaintenanceSite MaintenanceSiteOf(const RadiantSetup& setup);

// Shows the department editor modally; returns when it closes. The prompter must outlive it.
void OpenDepartmentEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                          QWidget* parent = nullptr);
// The same for the open site of Tidewell's window (nothing without one).
void OpenDepartmentEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent);

// The item choices of a site's back office (naxml::ItemChoices): opens its station for the
// back-office directory as stored and walks its items. Empty when the directory does not exist
// or the back office cannot be read (failures reported through errorMessages()).
std::vector<std::string> ReadItemChoices(const std::string& backOfficeDirectory,
                                         const std::string& localDirectory, int siteNumber);

// Shows the item list editor modally; the back office's items are read when a list's entries
// are first opened (no back office: backOfficeDirectory empty).
void OpenItemListEditor(const naxml::MaintenanceSite& site, const std::string& backOfficeDirectory,
                        const std::string& localBackOfficeDirectory, Prompter& prompter,
                        QWidget* parent = nullptr);
// The same for the open site of Tidewell's window, shown modeless (nothing without a site).
void OpenItemListEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent);
// Shows the item list editor modeless and returns its dialog, which deletes itself (and its
// editor) when closed or when its parent goes.
class ItemListDialog;
ItemListDialog* ShowItemListEditor(const naxml::MaintenanceSite& site,
                                   const std::string& backOfficeDirectory,
                                   const std::string& localBackOfficeDirectory, Prompter& prompter,
                                   QWidget* parent);

// Shows the combo editor modally; returns when it closes.
void OpenComboEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                     QWidget* parent = nullptr);
// The same for the open site of Tidewell's window, shown modeless (nothing without a site).
void OpenComboEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent);
// Shows the combo editor modeless and returns its dialog, which deletes itself (and its
// editor) when closed or when its parent goes.
class ComboDialog;
ComboDialog* ShowComboEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                             QWidget* parent);

// The same three for the mix-and-match editor.
void OpenMixMatchEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                        QWidget* parent = nullptr);
void OpenMixMatchEditor(const RadiantSetup* setup, Prompter& prompter, QWidget* parent);
class MixMatchDialog;
MixMatchDialog* ShowMixMatchEditor(const naxml::MaintenanceSite& site, Prompter& prompter,
                                   QWidget* parent);

inline constexpr const char* kEditLauncherUsage =
    "usage: tidewell-edit --site-dir DIR [--site N] [--back-office DIR]\n"
    "                     departments|itemlists|combos|mixmatch\n"
    "       tidewell-edit --help | --version\n"
    "Opens a maintenance editor on the files of DIR (the site's data directory, from which\n"
    "tidewell sends them to the POS). --site gives the StoreLocationID written (default 1);\n"
    "--back-office the directory of the back office whose items the item list editor offers.\n";

// The launcher: parses the arguments (without the program name) and runs the editor.
// prompter: the questions' boxes (null: message boxes). Exit code 0, or 2 for a usage error.
int RunEditLauncher(const std::vector<std::string>& args, Prompter* prompter = nullptr);

}  // namespace tw::ui
