#pragma once
// The entry point of the viewers for Tidewell's main window: the View menu's Sales, To Send,
// Last Sent and Last Results entries, Help > Versions..., and the maintenance views that have
// no menu entry.
//
// Each command runs modally on the UI thread and returns when the user closed its last
// dialog. The main window enables these commands only while a site is open. Reports go to
// the program's message objects: a command that needs NAXML 3.3 on a site of another version
// reports its "requires" text to errorMessages() and shows nothing; a page that cannot be made
// reports "Unable to generate view file %s." (the view's title) to errorMessages(); history
// failures are reported as the history reports them.

#include <span>

#include "settings/radiant_setup.h"

class QWidget;

namespace tw::ui {

// The command identifiers RunViewerCommand handles: 32775 (View, Sales); 40001, 40006, 40024,
// 40026 (View, To Send: items, departments, item groups, promotions); 40002, 40007, 40025,
// 40027 (View, Last Sent: the same); 40044 (View, Last Results); 40051 (Help, Versions...);
// and 40020 to 40023, 40028 to 40037 (grades, tanks, mix-and-match, tax includes, tax levels,
// tax strategies, fuel products, to send and last sent), which have no menu entry.
std::span<const int> ViewerCommandIds();
bool IsViewerCommand(int commandId);

// Runs a viewer command for the open site: the files are found in the site's local data
// directory (the version logs in its local log directory), the dialogs take mainWindow's
// size and position. Returns false, doing nothing, for a command id that is not a viewer's.
// The sales command shows the period chooser again after each sales page until the user
// cancels it.
bool RunViewerCommand(QWidget* mainWindow, int commandId, const RadiantSetup& setup);

// Help, Versions...: the version logs of the open site, or an empty page when no site is open
// (setup null). The command needs no site.
void ShowVersionsPage(QWidget* mainWindow, const RadiantSetup* setup);

}  // namespace tw::ui
