#pragma once
// Helpers for the screenshot programs: a window or dialog rendered offscreen to a PNG, with a
// plain title bar drawn above it (offscreen windows have no frame), optionally with one of its
// menus open.

#include <QString>
#include <QWidget>
#include <functional>

class QMenu;

namespace tw::shots {

// The directory of the first argument; exits with a usage line when there is none.
QString OutputDirectory(int argc, char** argv, const char* program);

// Shows the widget, lets it lay out and paint, and saves it as directory/name.png with a
// title bar carrying its window title. False (with a line on stderr) when the file cannot be
// written.
bool Save(QWidget& widget, const QString& directory, const QString& name);

// As Save, with `menu` (a menu of the window's menu bar, or its tool bar's) open under its
// entry in the menu bar.
bool SaveWithMenu(QWidget& window, QMenu& menu, const QString& directory, const QString& name);

// Runs the UI thread's events until done() or about a minute passes.
bool Spin(const std::function<bool()>& done);

}  // namespace tw::shots
