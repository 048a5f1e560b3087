// tidewell-edit: the maintenance editors without Tidewell's window (see editor_launch.h).
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "naxml/ui/editor_launch.h"
#include "platform/version.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(tw::ui::kEditLauncherUsage, stdout);
            return 0;
        }
        // Before Qt starts, so that neither needs a display.
        if (arg == "--version") {
            std::fputs(tw::platform::VersionText("tidewell-edit").c_str(), stdout);
            return 0;
        }
    }
    QApplication application(argc, argv);
    return tw::ui::RunEditLauncher(args);
}
