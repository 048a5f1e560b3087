#pragma once
// Tidewell's application object: reads the command line, opens one site (its settings, and the
// logs pointed at the site's files), starts and stops polling, keeps a second poller off the
// same site, and turns the run's outcome into the exit code. Toolkit-independent: the user
// interface it talks to is an AppFrontEnd (the Qt window, or the headless front end of
// unattended runs).
//
// Threads: everything here runs on the thread that owns the front end (the UI thread); the
// monitor runs its pass on its own worker and reports the end through UiBridge.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "messages/message.h"
#include "messages/program_messages.h"
#include "messages/screen_queue.h"
#include "messages/ui_interfaces.h"
#include "monitor/counted_ptr.h"
#include "monitor/waiters.h"
#include "platform/named_lock.h"
#include "platform/process.h"
#include "platform/version.h"

namespace tw {

class RadiantSetup;

// What the application needs from its user interface.
class AppFrontEnd {
public:
    virtual ~AppFrontEnd() = default;
    // The message list's document; null when the window could not be made.
    virtual MessageDocument* Document() = 0;
    virtual Prompter& GetPrompter() = 0;
    virtual StatusSink& Status() = 0;
    virtual UiBridge& Bridge() = 0;
    // The document title ("Site %d"), also shown in the notification icon's tip.
    virtual void SetTitle(const std::string& documentTitle) = 0;
    // Installs the main menu afresh, with or without the maintenance editors.
    virtual void InstallMenu(bool withEditors) = 0;
};

// Builds the poll monitor of the open site (the Radiant monitor in the real program); returns
// an empty pointer when it cannot (having reported why).
using MonitorFactory =
    std::function<CountedPtr<Monitor::SingleWaiter>(UiBridge& notify, RadiantSetup& setup)>;

// Run flags from the command line's switches (ignoring case).
enum RunFlag : std::uint32_t {
    kRunAuto = 0x0001,       // AUTO: poll once, no message boxes, then exit
    kRunAutoDial = 0x0002,   // AUTODIAL
    kRunSendOnly = 0x0004,   // SEND, SENDITEMS
    kRunSalesOnly = 0x0008,  // GETSALES
    kRunReserved1 = 0x0010,
    kRunReserved2 = 0x0020,
    kRunEditor = 0x2000,  // EDITOR: keep the maintenance editors
};
std::uint32_t RunFlagsFrom(const CMainInfo& info);
// The site a command line asks for: the integer value of the first parameter (leading blanks
// and a sign belong to it), 1 when there is none or it is 0; nullopt for a negative value or
// one beyond an int, which names no site.
std::optional<int> SiteOfCommandLine(const CMainInfo& info);
inline constexpr std::uint32_t kAutomaticRunFlags =
    kRunAuto | kRunAutoDial | kRunSendOnly | kRunSalesOnly;

class CRadiantPollApp {
public:
    // The release, as the version log and the About box show it.
    static constexpr const char* kVersion = platform::kReleaseVersion.data();

    CRadiantPollApp(AppFrontEnd& frontEnd, MonitorFactory monitorFactory,
                    platform::ProcessLauncher& launcher = DefaultLauncher());
    ~CRadiantPollApp();
    CRadiantPollApp(const CRadiantPollApp&) = delete;
    CRadiantPollApp& operator=(const CRadiantPollApp&) = delete;

    // Start-up: command line, message objects, the site of the first parameter (1 when none or
    // 0), then for an automatic run the start of polling. False when the message objects could
    // not be made. programDirectory overrides the site home (tests).
    bool InitInstance(int argc, const char* const* argv, const std::string& executablePath = {});
    // Closes the site and returns the exit code: 1 when anything was reported through
    // errorMessages (after logging "Exiting with result 1."), else 0.
    int ExitInstance();

    // Sees every text sent to logMessages() from then on (the run's metrics count them). Call
    // before InitInstance; the observer is called from any thread and must be thread-safe.
    void ObserveLog(std::function<void(std::string_view)> observer) {
        logObserver_ = std::move(observer);
    }

    bool OpenSite(int siteNumber);
    void CloseSite();
    // True when a pass was started.
    bool StartPolling();
    void StopPolling();
    enum class SiteLockOutcome {
        Held,    // this process holds the site lock
        Busy,    // another process polls the open site
        Failed,  // the lock file cannot be opened; reported to errorMessages
    };
    // Takes the open site's lock without waiting. A lock this process holds is released first.
    // A site is never polled without its lock: Failed stops the run as an error.
    SiteLockOutcome AcquireSiteLock();
    void ReleaseSiteLock();

    // The end-of-pass notice reached the UI thread: the monitor is released with the site
    // lock, then the run ends (automatic) or returns to idle.
    void OnEndOfPass();

    // The sites that have a site file in the program directory ("RAVELIN.nnn", n > 0), in
    // directory order.
    std::vector<int> SiteChoices() const;

    // Purge Pending (commands 40046 to 40050): asks, then deletes the pending maintenance file
    // of that kind from the site's data directory. False when nothing was deleted.
    bool PurgePending(int command);

    bool IsAutomatic() const { return (runFlags_ & kAutomaticRunFlags) != 0; }
    // Whether start-up started a pass (automatic runs); its end-of-pass notice will follow.
    bool PassStartedAtStartUp() const { return passStartedAtStartUp_; }
    bool ExitAtEndOfPass() const { return exitAtEndOfPass_; }
    bool IsPolling() const;
    std::uint32_t RunFlags() const { return runFlags_; }
    int SiteNumber() const { return siteNumber_; }
    RadiantSetup* Setup() const { return setup_.get(); }
    const std::string& ProgramDirectory() const { return programDirectory_; }
    std::string Title() const;
    // Errors reported so far; after ExitInstance, those the run reported.
    int ErrorCount() const { return errorMessages_ ? errorMessages_->Count() : errorsAtExit_; }

    static platform::ProcessLauncher& DefaultLauncher();

private:
    void CreateMessageObjects();
    std::string RavelinProgram() const;
    // The path of a log of the open site in its log directory, the name found ignoring case.
    std::string LogPath(const std::string& name) const;
    void WriteVersionPoller();

    AppFrontEnd& frontEnd_;
    MonitorFactory monitorFactory_;
    platform::ProcessLauncher& launcher_;
    std::uint32_t runFlags_ = 0;
    CMainInfo info_;
    std::unique_ptr<ScreenMessageQueue> screenQueue_;
    std::unique_ptr<RadiantSetup> setup_;
    std::string programDirectory_;
    int siteNumber_ = 0;
    CountedPtr<Monitor::SingleWaiter> monitor_;
    std::unique_ptr<platform::NamedLock> siteLock_;
    bool exitAtEndOfPass_ = false;
    bool passStartedAtStartUp_ = false;

    std::unique_ptr<ErrorMessage> errorMessages_;
    std::unique_ptr<ScreenMessage> screenMessages_;
    std::unique_ptr<LogScreenMessage> logMessages_;
    std::unique_ptr<StatusMessage> statusMessages_;
    std::unique_ptr<LogMessageNoConsecutiveDuplicates> posVersionLog_;
    std::unique_ptr<ScopedProgramMessages> installedMessages_;
    std::function<void(std::string_view)> logObserver_;
    std::unique_ptr<Message> observedLog_;  // logMessages_ seen by logObserver_
    int errorsAtExit_ = 0;
};

}  // namespace tw
