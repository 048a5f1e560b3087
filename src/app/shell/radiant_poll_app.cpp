#include "app/shell/radiant_poll_app.h"

#include <charconv>
#include <cstdio>

#include "messages/string_table.h"
#include "platform/file_ops.h"
#include "platform/named_lock.h"
#include "platform/os_services.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/wildcard.h"
#include "settings/radiant_setup.h"

namespace tw {
namespace {

constexpr std::int32_t kLogBytes = 262144;
constexpr std::int32_t kVersionLogBytes = 8192;
constexpr double kTrimFraction = 0.5;

struct PurgeEntry {
    int command;
    const char* title;
    const char* question;
    const char* file;
};

constexpr PurgeEntry kPurgeEntries[] = {
    {40046, "Delete Pending Item Upload File",
     "Would you like to delete the pending item upload file?", "ITT.XML"},
    {40047, "Delete Pending File", "Would you like to delete the pending departments upload file?",
     "MCT.XML"},
    {40048, "Delete Pending File", "Would you like to delete the pending item groups upload file?",
     "ILT.XML"},
    {40049, "Delete Pending File", "Would you like to delete the pending promotions upload file?",
     "CBT.XML"},
    {40050, "Delete Pending File", "Would you like to delete the pending mix match upload file?",
     "MMT.XML"},
};

// The log channel as the observer of a run sees it: every text goes on to the log as before.
class ObservedMessage final : public Message {
public:
    ObservedMessage(Message& log, const std::function<void(std::string_view)>& observer)
        : log_(log), observer_(observer) {}
    void Output(const std::string& text) override {
        observer_(text);
        log_.Output(text);
    }

private:
    Message& log_;
    const std::function<void(std::string_view)>& observer_;
};

std::string SiteFileName(const char* format, int site) {
    char name[64];
    std::snprintf(name, sizeof name, format, site);
    return name;
}

}  // namespace

std::uint32_t RunFlagsFrom(const CMainInfo& info) {
    struct Entry {
        const char* name;
        std::uint32_t bits;
    };
    static constexpr Entry kSwitches[] = {
        {"AUTO", kRunAuto},
        {"AUTODIAL", kRunAuto | kRunAutoDial},
        {"SEND", kRunAuto | kRunSendOnly},
        {"SENDITEMS", kRunAuto | kRunSendOnly},
        {"GETSALES", kRunAuto | kRunSalesOnly},
        {"EDITOR", kRunEditor},
    };
    std::uint32_t flags = 0;
    for (const auto& entry : kSwitches) {
        if (info.HasSwitch(entry.name))
            flags |= entry.bits;
    }
    return flags;
}

std::optional<int> SiteOfCommandLine(const CMainInfo& info) {
    if (info.parameters.size() < 2)
        return 1;
    const std::optional<int> value = IntegerValueOf(info.parameters[1]);
    if (!value || *value < 0)
        return std::nullopt;
    return *value == 0 ? 1 : *value;
}

platform::ProcessLauncher& CRadiantPollApp::DefaultLauncher() {
    static platform::PosixProcessLauncher launcher;
    return launcher;
}

CRadiantPollApp::CRadiantPollApp(AppFrontEnd& frontEnd, MonitorFactory monitorFactory,
                                 platform::ProcessLauncher& launcher)
    : frontEnd_(frontEnd), monitorFactory_(std::move(monitorFactory)), launcher_(launcher) {}

CRadiantPollApp::~CRadiantPollApp() {
    if (errorMessages_)
        ExitInstance();
}

void CRadiantPollApp::CreateMessageObjects() {
    // Texts always go through the worker thread: the monitor reports from its own threads.
    screenQueue_ = std::make_unique<ScreenMessageQueue>(nullptr, false);
    frontEnd_.Document()->LinkQueue(*screenQueue_);
    errorMessages_ =
        std::make_unique<ErrorMessage>(kLogBytes, kTrimFraction, screenQueue_.get(),
                                       (runFlags_ & kRunAuto) == 0, &frontEnd_.GetPrompter());
    screenMessages_ = std::make_unique<ScreenMessage>(screenQueue_.get());
    logMessages_ = std::make_unique<LogScreenMessage>(kLogBytes, kTrimFraction, screenQueue_.get());
    statusMessages_ = std::make_unique<StatusMessage>(&frontEnd_.Status());
    posVersionLog_ =
        std::make_unique<LogMessageNoConsecutiveDuplicates>(kVersionLogBytes, kTrimFraction);
    Message* log = logMessages_.get();
    if (logObserver_) {
        observedLog_ = std::make_unique<ObservedMessage>(*logMessages_, logObserver_);
        log = observedLog_.get();
    }
    installedMessages_ = std::make_unique<ScopedProgramMessages>(
        ProgramMessages{errorMessages_.get(), log, screenMessages_.get(), statusMessages_.get(),
                        posVersionLog_.get()});
}

bool CRadiantPollApp::InitInstance(int argc, const char* const* argv,
                                   const std::string& executablePath) {
    info_.Parse(argc, argv, executablePath.empty() ? platform::ExecutablePath() : executablePath);
    runFlags_ = RunFlagsFrom(info_);
    if (frontEnd_.Document() == nullptr) {
        if (!IsAutomatic()) {
            frontEnd_.GetPrompter().ShowMessage(strings::LoadString(strings::kNoDocuments));
        }
        return false;
    }
    CreateMessageObjects();
    programDirectory_ = SiteHomeDirectory(info_);
    const std::optional<int> site = SiteOfCommandLine(info_);
    if (site) {
        OpenSite(*site);
    } else {
        // A negative (or huge) number names no site; polling site 1 in its place would poll
        // a site nobody asked for.
        FormatResourceMessageTo(errorMessages(), strings::kCannotOpenSite);
    }
    if (!IsAutomatic())
        return true;
    exitAtEndOfPass_ = true;
    passStartedAtStartUp_ = StartPolling();
    return true;
}

int CRadiantPollApp::ExitInstance() {
    if (!errorMessages_)
        return 0;
    CloseSite();
    int code = 0;
    if (errorMessages_->Count() > 0) {
        code = 1;
        FormatMessageTo(*logMessages_, "Exiting with result %d.", code);
    }
    // Let the list show what was reported before the queue goes (bounded: a list that hangs
    // must not hold up the exit).
    screenQueue_->WaitUntilIdle(std::chrono::seconds(5));
    errorsAtExit_ = errorMessages_->Count();
    installedMessages_.reset();
    observedLog_.reset();
    errorMessages_.reset();
    screenMessages_.reset();
    logMessages_.reset();
    statusMessages_.reset();
    screenQueue_.reset();
    posVersionLog_.reset();
    return code;
}

bool CRadiantPollApp::OpenSite(int siteNumber) {
    CloseSite();
    setup_ = std::make_unique<RadiantSetup>(siteNumber, programDirectory_, launcher_);
    setup_->SetUnattended(IsAutomatic());
    setup_->SetRavelinProgram(RavelinProgram());
    if (!setup_->Load(true)) {
        FormatResourceMessageTo(errorMessages(), strings::kCannotOpenSite);
        CloseSite();
        return false;
    }
    if (runFlags_ & (kRunSendOnly | kRunSalesOnly)) {
        // For this run only; the settings files stay as they are.
        setup_->sendItems = (runFlags_ & kRunSendOnly) != 0;
        setup_->receiveSales = (runFlags_ & kRunSalesOnly) != 0;
    }
    const std::string pollLog = LogPath("POLL.LOG");
    for (LogMessage* log : {static_cast<LogMessage*>(errorMessages_.get()),
                            static_cast<LogMessage*>(logMessages_.get())}) {
        log->SetPath(pollLog);
        log->SetSiteNumber(static_cast<std::int16_t>(siteNumber));
    }
    posVersionLog_->SetPath(LogPath(SiteFileName("VersionPOS.%03d", siteNumber)));
    posVersionLog_->SetSiteNumber(static_cast<std::int16_t>(siteNumber));
    siteNumber_ = siteNumber;
    WriteVersionPoller();
    frontEnd_.SetTitle(Title());
    if ((runFlags_ & kRunEditor) == 0)
        frontEnd_.InstallMenu(false);
    return true;
}

void CRadiantPollApp::WriteVersionPoller() {
    LogMessageNoConsecutiveDuplicates versionLog(kVersionLogBytes, kTrimFraction);
    versionLog.SetPath(LogPath(SiteFileName("VersionPoller.%03d", siteNumber_)));
    versionLog.SetSiteNumber(static_cast<std::int16_t>(siteNumber_));
    FormatMessageTo(versionLog, "%s %s", strings::LoadString(strings::kApplicationTitle), kVersion);
}

std::string CRadiantPollApp::LogPath(const std::string& name) const {
    // A log copied from a Windows installation may carry any case; a new one gets ours.
    return platform::ExistingOrExactPath(setup_->LocalLogDirectory(), name);
}

std::string CRadiantPollApp::RavelinProgram() const {
    // Installed programs stand side by side; a site home may also carry its own copy.
    platform::DirEntry entry;
    for (const std::string& directory : {info_.programDirectory, programDirectory_}) {
        const std::string candidate = platform::JoinPath(directory, "ravelin");
        if (!directory.empty() && platform::StatPath(candidate, entry, nullptr))
            return candidate;
    }
    return "ravelin";  // found through PATH
}

std::string CRadiantPollApp::Title() const {
    return siteNumber_ > 0 ? SiteFileName(strings::LoadString(strings::kSiteTitle), siteNumber_)
                           : std::string();
}

void CRadiantPollApp::CloseSite() {
    StopPolling();
    setup_.reset();
    siteNumber_ = 0;
}

bool CRadiantPollApp::IsPolling() const {
    return monitor_ && monitor_->IsThreadRunning();
}

bool CRadiantPollApp::StartPolling() {
    if (!setup_ || siteNumber_ <= 0)
        return false;
    if (setup_->salesPath.empty() || setup_->importDestinationPath.empty()) {
        FormatMessageTo(errorMessages(),
                        "Make sure the sales path and import destination are filled in.");
        return false;
    }
    const SiteLockOutcome siteLock = AcquireSiteLock();
    if (siteLock == SiteLockOutcome::Failed)
        return false;
    if (siteLock == SiteLockOutcome::Busy) {
        char text[1024];
        std::snprintf(text, sizeof text,
                      "Site %d is already being polled by another process, Cancelling polling. %s",
                      siteNumber_, setup_->DataDirectory().c_str());
        SendMessageText(logMessages(), text);
        ReleaseSiteLock();
        if ((runFlags_ & kRunAuto) == 0)
            frontEnd_.GetPrompter().ShowMessage(text);
        return false;
    }
    monitor_ = monitorFactory_ ? monitorFactory_(frontEnd_.Bridge(), *setup_)
                               : CountedPtr<Monitor::SingleWaiter>();
    if (!monitor_) {
        FormatMessageTo(errorMessages(), "Unable to allocate monitor.");
        ReleaseSiteLock();
        return false;
    }
    if (!monitor_->Start()) {
        FormatMessageTo(errorMessages(), "Unable to start monitor.");
        monitor_.Reset();
        ReleaseSiteLock();
        return false;
    }
    FormatResourceMessageTo(screenMessages(), strings::kStartingMonitoring,
                            setup_->salesPath.c_str());
    return true;
}

void CRadiantPollApp::StopPolling() {
    if (monitor_ && monitor_->IsThreadRunning()) {
        monitor_->Stop(true);
        FormatResourceMessageTo(screenMessages(), strings::kMonitoringStopped);
    }
    monitor_.Reset();
    ReleaseSiteLock();
}

void CRadiantPollApp::OnEndOfPass() {
    if (monitor_)
        monitor_->WaitForThread();  // the worker is past its notice: join it
    monitor_.Reset();
    ReleaseSiteLock();
    if (!exitAtEndOfPass_)
        StopPolling();
}

CRadiantPollApp::SiteLockOutcome CRadiantPollApp::AcquireSiteLock() {
    ReleaseSiteLock();
    if (!setup_)
        return SiteLockOutcome::Failed;
    try {
        const std::string name = platform::SiteLockName(setup_->DataDirectory());
        auto lock = std::make_unique<platform::NamedLock>(name);
        if (!lock->IsValid()) {
            FormatMessageTo(errorMessages(), "CreateMutex failed: %s: %s",
                            platform::LockFilePath(name).c_str(),
                            platform::SystemErrorText(lock->OpenError()).c_str());
            return SiteLockOutcome::Failed;
        }
        if (!lock->TryLock())
            return SiteLockOutcome::Busy;
        siteLock_ = std::move(lock);
        return SiteLockOutcome::Held;
    } catch (const std::exception&) {
        FormatMessageTo(errorMessages(), "CreateMutex failed, crashed.");
    }
    return SiteLockOutcome::Failed;
}

void CRadiantPollApp::ReleaseSiteLock() {
    if (siteLock_)
        siteLock_->Unlock();
    siteLock_.reset();
}

std::vector<int> CRadiantPollApp::SiteChoices() const {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(programDirectory_, entries, nullptr);
    std::vector<int> sites;
    for (const auto& entry : entries) {
        if (entry.isDirectory || !platform::MatchMask("RAVELIN.???", entry.name))
            continue;
        int site = 0;
        const char* digits = entry.name.c_str() + 8;
        std::from_chars(digits, entry.name.c_str() + entry.name.size(), site);
        if (site > 0)
            sites.push_back(site);
    }
    return sites;
}

bool CRadiantPollApp::PurgePending(int command) {
    if (!setup_)
        return false;
    for (const auto& entry : kPurgeEntries) {
        if (entry.command != command)
            continue;
        if (!frontEnd_.GetPrompter().AskYesNo(entry.title, entry.question))
            return false;
        const std::string path =
            platform::ExistingOrExactPath(setup_->LocalDataDirectory(), entry.file);
        int error = 0;
        if (!platform::RemoveFile(path, &error)) {
            FormatMessageTo(errorMessages(), "Unable to delete %s.  Error %d: %s", path.c_str(),
                            error, platform::SystemErrorText(error).c_str());
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace tw
