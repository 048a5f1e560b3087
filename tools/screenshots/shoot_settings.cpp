// screenshot-libs: tw_settings_ui
// Draws the site settings dialog of a demo site offscreen: site_settings.png in the directory
// given as the first argument.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "settings/site_file.h"
#include "settings/ui/site_settings_dialog.h"

namespace {

// A phone book as a dial-up service would list it.
class DemoPhoneBook final : public tw::DialUpDirectory {
public:
    Listing ListEntries() override { return {true, {"Shop 12", "Backup line"}}; }
};

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shoot_settings OUTPUT-DIRECTORY\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // A demo site laid out as Ravelin and an earlier save leave it.
    QTemporaryDir home;
    const std::string program = home.path().toStdString() + "/";
    const std::string data = program + "001/";
    QDir().mkpath(QString::fromStdString(data));
    const bool written =
        WriteText(program + "RAVELIN.001",
                  tw::FormatSiteFile({program + "001", "/srv/qor/back-office", program + "001"})) &&
        WriteText(data + "SETUP.001",
                  "ImportDestinationPath = \\\\POS1\\Import\\\n"
                  "SalesPath = \\\\POS1\\Export\\\n"
                  "ExSalesPath = \n"
                  "SendItems = TRUE\nReceiveSales = TRUE\nDeletePOSSourceFile = TRUE\n"
                  "UserName = STORE\\poller\nPassword = secret\n"
                  "UseRas = FALSE\nRasEntry = Shop 12\nRasPhoneNumber = 555-0112\n"
                  "NaxmlVersion = 3.3\n");
    tw::RadiantSetup setup(1, program);
    if (!written || !setup.Load(false)) {
        std::fprintf(stderr, "shoot_settings: cannot lay out the demo site in %s\n",
                     program.c_str());
        return 1;
    }
    tw::HeadlessPrompter prompter;
    DemoPhoneBook phoneBook;
    tw::SiteSettingsForm form(setup, prompter, phoneBook);
    tw::ui::SiteSettingsDialog dialog(form);
    dialog.show();
    QApplication::processEvents();
    const QString path = QDir(QString::fromLocal8Bit(argv[1])).filePath("site_settings.png");
    if (!dialog.grab().save(path)) {
        std::fprintf(stderr, "shoot_settings: cannot write %s\n", path.toLocal8Bit().data());
        return 1;
    }
    return 0;
}
