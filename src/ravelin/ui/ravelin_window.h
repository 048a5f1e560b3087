#pragma once
// Ravelin's interactive run: a window listing the run's messages, the "Setup Options" dialog
// over it, the set-up, and then either an immediate close or, when errors were reported, the
// window left open so that the user can read them.

#include <QMainWindow>
#include <memory>

#include "app/command_line.h"
#include "messages/message.h"
#include "messages/program_messages.h"
#include "messages/screen_queue.h"
#include "messages/ui_interfaces.h"

class QListWidget;

namespace tw::ravelin::ui {

// The message list: every text of the run as one line.
class RavelinWindow final : public QMainWindow {
public:
    RavelinWindow();
    QListWidget& List() const { return *list_; }

private:
    QListWidget* list_;
};

// One interactive run. Create it on the UI thread after the QApplication; it installs the
// program-wide messages for its lifetime (error messages are also shown through the prompter).
class RavelinWindowRun {
public:
    enum class Outcome {
        Cancelled,  // the options dialog was cancelled; nothing was set up
        Closed,     // set up without errors; the window is closed
        StaysOpen,  // errors were reported; the window shows them until the user closes it
    };

    // prompter: null shows message boxes over the window; else must outlive the run.
    RavelinWindowRun(const CMainInfo& commandLine, Prompter* prompter = nullptr);
    ~RavelinWindowRun();
    RavelinWindowRun(const RavelinWindowRun&) = delete;
    RavelinWindowRun& operator=(const RavelinWindowRun&) = delete;

    // Shows the window and the options dialog (modally), then sets up what was chosen.
    Outcome Start();
    // 1 when an error was reported, else 0.
    int ExitCode() const;
    RavelinWindow& Window() { return window_; }

private:
    class ListControl;
    class StatusBarSink;

    const CMainInfo& commandLine_;
    RavelinWindow window_;
    std::unique_ptr<Prompter> ownPrompter_;
    std::unique_ptr<ListControl> list_;
    std::unique_ptr<StatusBarSink> status_;
    MessageDocument document_;
    ScreenMessageQueue queue_;
    ErrorMessage errors_;
    ScreenMessage screen_;
    LogScreenMessage log_;
    StatusMessage statusMessages_;
    ScopedProgramMessages installed_;
};

// The whole interactive program: the application object, the run, and the event loop while
// the window stays open. Returns the exit code.
int RunRavelinWindow(const CMainInfo& commandLine);

}  // namespace tw::ravelin::ui
