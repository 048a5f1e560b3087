#include "app/shell/headless_front_end.h"

namespace tw {

HeadlessFrontEnd::HeadlessFrontEnd(std::ostream& out, std::ostream& err)
    : list_(out), prompter_(&err) {
    document_.SetView(&list_);
}

int RunAutomatic(CRadiantPollApp& app, HeadlessFrontEnd& frontEnd, int argc,
                 const char* const* argv, std::ostream& err, const std::string& executablePath,
                 const char* refusal) {
    CMainInfo info;
    info.Parse(argc, argv, executablePath);
    if ((RunFlagsFrom(info) & kAutomaticRunFlags) == 0) {
        err << refusal << '\n';
        return 1;
    }
    if (!app.InitInstance(argc, argv, executablePath))
        return 1;
    if (app.PassStartedAtStartUp()) {
        // The pass ends by itself; there is nobody to stop it early.
        while (!frontEnd.HeadlessBridge().WaitForEndOfPass(std::chrono::hours(1))) {
        }
        app.OnEndOfPass();
    }
    return app.ExitInstance();
}

}  // namespace tw
