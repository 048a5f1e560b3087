#pragma once
// The dial status window of a Qt host: "Connection Status" with one line of state text and the
// buttons "Cancel" and "Close", shown application-modal while the dial-up component dials.
// Cancel, Close and the window's own close box all give up the dial (Dial then returns 2);
// the window closes by itself when the dial ends.
//
// The window lives on the thread of the QApplication; the sink may be called from any thread
// (the component dials on the caller's thread and reports from the provider's). A host dials
// from a worker thread: a dial on the GUI thread blocks it, and the window cannot answer.
// Needs a QApplication for as long as it is installed.

#include <string>

#include "qorcom/remote/dial_status.h"

namespace tw::qorcom::ui {

// The sink table (one window at a time per process, which is all Dial ever opens per thread).
const QorDialStatusSink& QtDialStatusSink();

// Installs the window into the libqorcom.so at libraryPath through its exported entry point;
// false (with *error) when the library or the entry point cannot be found.
bool InstallQtDialStatusSink(const std::string& libraryPath, std::string* error);

// The same for the library that serves a ProgID ("QORPost.Ras") through the registry, as the
// host's dial-up objects will be created: a host calls it once after making its QApplication.
bool InstallQtDialStatusSinkFor(const std::string& progId, std::string* error);

}  // namespace tw::qorcom::ui
