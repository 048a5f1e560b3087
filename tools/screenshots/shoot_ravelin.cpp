// screenshot-libs: tw_ravelin_ui
// Draws Ravelin's window offscreen into the directory given as the first argument:
// ravelin_setup_options.png (the options dialog as an interactive run opens it) and
// ravelin_messages.png (the message window left open after a site file could not be written).

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ravelin/ui/ravelin_window.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shoot_ravelin OUTPUT-DIRECTORY\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir output(QString::fromLocal8Bit(argv[1]));

    // An installation whose site 2 file is in the way (a directory of that name).
    QTemporaryDir home;
    const std::string program = home.path().toStdString() + "/";
    QDir().mkpath(home.filePath("RAVELIN.002"));
    QDir().mkpath(home.filePath("back-office"));
    const std::string self = program + "ravelin";
    const std::string tambor = "/TAMBORPATH=" + program + "back-office";
    const char* args[] = {self.c_str(), program.c_str(), "/OVERWRITE", "/TIDEWELL", tambor.c_str()};
    tw::CMainInfo info;
    info.Parse(5, args);

    bool shot = false;
    auto* timer = new QTimer(&app);
    QObject::connect(timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr)
            return;
        timer->stop();
        dialog->findChild<QLineEdit*>("site")->setText("2");
        shot = dialog->grab().save(output.filePath("ravelin_setup_options.png"));
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    timer->start(20);

    tw::HeadlessPrompter prompter;  // the error box is not part of the picture
    tw::ravelin::ui::RavelinWindowRun run(info, &prompter);
    run.Start();
    QApplication::processEvents();
    shot = run.Window().grab().save(output.filePath("ravelin_messages.png")) && shot;
    if (!shot) {
        std::fprintf(stderr, "shoot_ravelin: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
