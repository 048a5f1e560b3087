#include "app/ui/windowed_run.h"

#include <QApplication>
#include <string>

#include "app/shell/commands.h"
#include "app/ui/main_frame.h"
#include "qorcom/remote/ui/qt_dial_status.h"

namespace tw::ui {

int RunWindowed(int argc, char** argv, MonitorFactory monitorFactory,
                const AttachCommands& attach) {
    int qtArgc = argc;
    QApplication qtApp(qtArgc, argv);
    QApplication::setApplicationName("Tidewell");
    // Message boxes and dialogs come and go; only the main window ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    // A pass that dials (on the monitor's worker thread) shows its states in the "Connection
    // Status" window. Without the dial-up library, or its registration, nothing dials: that
    // failure is reported when a dial is attempted, not here.
    std::string noDialStatus;
    qorcom::ui::InstallQtDialStatusSinkFor("QORPost.Ras", &noDialStatus);

    CMainFrame frame;
    CRadiantPollApp app(frame, std::move(monitorFactory));
    frame.AttachApp(app);
    if (attach)
        attach(frame, app);
    QObject::connect(&frame, &CMainFrame::exitRequested, &qtApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frame.show();
    if (!app.InitInstance(argc, argv))
        return 1;
    frame.UpdateCommands();
    if (!app.IsAutomatic() || app.PassStartedAtStartUp())
        QApplication::exec();
    // The application stops a pass still running itself; notices from it are of no use now.
    frame.DetachApp();
    const int code = app.ExitInstance();
    frame.StatusList().Flush();
    return code;
}

}  // namespace tw::ui
