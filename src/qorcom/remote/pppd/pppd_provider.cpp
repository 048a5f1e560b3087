// The dial-up provider over pppd: libqorcom-ras.so, the default provider installed beside
// libqorcom.so.
//
//   - Phone-book entries are the peers files of $QORCOM_PPP_PEERS_DIR, else /etc/ppp/peers.
//   - A dial runs pppd (found on PATH) with DialArguments: pppd logs its progress to us and
//     detaches once the link is up; its exit code tells why a dial failed.
//   - Active connections are the pid files ppp-<entry>.pid that pppd keeps in
//     $QORCOM_PPP_RUN_DIR, else /var/run, whose pppd still runs and has its interface: links of
//     every process, ours or not. Their handle is pppd's process id.
//   - Hanging up sends pppd SIGTERM; pppd then ends the link and removes its pid file.
//   - A user name or password given to Dial reaches pppd in a private options file (mode 0600,
//     removed when the dial ends). The phone and callback numbers and the domain are not used:
//     the peers file's connect script dials its own number.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qorcom/remote/pppd/pppd_rules.h"
#include "qorcom/remote/ras_provider.h"

extern char** environ;

namespace {

using namespace tw::qorcom::pppd;

// Handles of dials this process made lie above every process id.
constexpr QorRasConnection kDialHandleBase = QorRasConnection(1) << 40;

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string PeersDirectory() {
    return Env("QORCOM_PPP_PEERS_DIR", kSystemPeersDirectory);
}
std::string RunDirectory() {
    return Env("QORCOM_PPP_RUN_DIR", "/var/run");
}

std::string PidFilePath(const std::string& entry) {
    return RunDirectory() + "/ppp-" + entry + ".pid";
}

// A link as its pid file tells it: pppd's process id and, once the link is up, its interface.
struct PidFile {
    pid_t pid = 0;
    std::string interface;
};

std::optional<PidFile> ReadPidFile(const std::string& path) {
    std::ifstream in(path);
    PidFile file;
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    char* end = nullptr;
    const long pid = std::strtol(line.c_str(), &end, 10);
    if (pid <= 0 || end == line.c_str())
        return std::nullopt;
    file.pid = static_cast<pid_t>(pid);
    std::getline(in, file.interface);
    return file;
}

bool ProcessRuns(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The link of an entry that is up: pppd runs and has its interface.
std::optional<pid_t> LinkUp(const std::string& entry) {
    const auto file = ReadPidFile(PidFilePath(entry));
    if (!file || file->interface.empty() || !ProcessRuns(file->pid))
        return std::nullopt;
    return file->pid;
}

bool PeerExists(const std::string& entry) {
    if (!IsEntryFileName(entry) || entry.find('/') != std::string::npos)
        return false;
    struct stat info {};
    return ::stat((PeersDirectory() + "/" + entry).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// ---- Dials of this process ----

struct Dial {
    std::mutex mutex;
    std::string entry;
    pid_t child = -1;   // the pppd we started, until it exited
    pid_t linkPid = 0;  // the detached pppd holding the link, once up
    std::uint32_t state = QOR_RASCS_OPEN_PORT;
    std::uint32_t error = 0;
    bool ended = false;        // the child exited (connected or not)
    bool hungUp = false;       // no notification after RasHangUp returned
    std::thread::id notifier;  // the thread that notifies, to let a callback hang up
    std::mutex notifyMutex;    // held while notifying
    std::string optionsFile;
};

std::mutex g_dialsMutex;
std::map<QorRasConnection, std::shared_ptr<Dial>> g_dials;
std::atomic<QorRasConnection> g_nextHandle{kDialHandleBase};

std::shared_ptr<Dial> FindDial(QorRasConnection handle) {
    std::lock_guard lock(g_dialsMutex);
    const auto it = g_dials.find(handle);
    return it == g_dials.end() ? nullptr : it->second;
}

void ForgetDial(QorRasConnection handle) {
    std::lock_guard lock(g_dialsMutex);
    g_dials.erase(handle);
}

// Writes the user name and password where only this user can read them; "" when neither is
// given, nullopt when they cannot be written (or hold a line break).
std::optional<std::string> WriteOptionsFile(const QorRasDialParams& params) {
    if (!params.userName[0] && !params.password[0])
        return std::string();
    std::string text;
    for (const auto& [option, value] :
         {std::pair{"user", params.userName}, std::pair{"password", params.password}}) {
        if (!value[0])
            continue;
        const auto quoted = QuoteOption(value);
        if (!quoted)
            return std::nullopt;
        text += std::string(option) + " " + *quoted + "\n";
    }
    std::string path = Env("TMPDIR", "/tmp") + "/qorcom-ppp-XXXXXX";
    const int fd = ::mkstemp(path.data());  // mode 0600
    if (fd < 0)
        return std::nullopt;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    std::fill(text.begin(), text.end(), '\0');
    ::close(fd);
    if (!written) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return path;
}

// Starts pppd with its standard output and error on a pipe; the read end in *output.
pid_t StartPppd(const std::vector<std::string>& arguments, int* output, int* error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = errno;
        return -1;
    }
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group: a Ctrl-C meant for the poller does not hang up behind its back.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    *error = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[1]);
    if (*error != 0) {
        ::close(pipeFds[0]);
        return -1;
    }
    *output = pipeFds[0];
    return pid;
}

void Notify(Dial& dial, QorRasDialNotify notify, void* context, QorRasConnection handle,
            std::uint32_t state, std::uint32_t error) {
    std::lock_guard notifying(dial.notifyMutex);
    {
        std::lock_guard lock(dial.mutex);
        if (dial.hungUp)
            return;
        dial.state = state;
        dial.error = error;
        dial.notifier = std::this_thread::get_id();
    }
    notify(context, handle, state, error);
    std::lock_guard lock(dial.mutex);
    dial.notifier = {};
}

// Follows one pppd: its log lines until it exits (detached with the link up, or failed).
void FollowDial(std::shared_ptr<Dial> dial, int output, QorRasDialNotify notify, void* context,
                QorRasConnection handle) {
    Notify(*dial, notify, context, handle, QOR_RASCS_OPEN_PORT, 0);
    Notify(*dial, notify, context, handle, QOR_RASCS_CONNECT_DEVICE, 0);
    std::string pending;
    std::uint32_t shown = QOR_RASCS_CONNECT_DEVICE;
    const pid_t child = dial->child;
    int status = 0;
    bool outputOpen = true;
    for (;;) {
        if (outputOpen) {
            pollfd wait{output, POLLIN, 0};
            if (::poll(&wait, 1, 100) > 0) {
                char buffer[512];
                const ssize_t n = ::read(output, buffer, sizeof buffer);
                if (n > 0)
                    pending.append(buffer, static_cast<std::size_t>(n));
                else
                    outputOpen = false;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
            const auto state = StateOfLogLine(pending.substr(0, eol));
            pending.erase(0, eol + 1);
            if (state && *state != shown) {
                shown = *state;
                Notify(*dial, notify, context, handle, *state, 0);
            }
        }
        // A detached pppd may keep the pipe open: the exit of ours ends the dial.
        if (::waitpid(child, &status, WNOHANG) == child) {
            std::lock_guard lock(dial->mutex);
            dial->child = -1;  // reaped: never signalled again
            break;
        }
    }
    ::close(output);

    std::uint32_t error;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        const auto link = LinkUp(dial->entry);
        error = link ? 0 : 651;
        std::lock_guard lock(dial->mutex);
        dial->linkPid = link.value_or(0);
    } else {
        error = WIFEXITED(status) ? ErrorOfExitCode(WEXITSTATUS(status)) : 631;
    }
    {
        std::lock_guard lock(dial->mutex);
        dial->ended = true;
        if (!dial->optionsFile.empty())
            ::unlink(dial->optionsFile.c_str());
    }
    if (error == 0)
        Notify(*dial, notify, context, handle, QOR_RASCS_CONNECTED, 0);
    else
        Notify(*dial, notify, context, handle, QOR_RASCS_DISCONNECTED, error);
}

// ---- The seven functions ----

std::uint32_t PppEnumEntries(QorRasEntryCallback callback, void* context) {
    std::vector<std::string> names;
    if (DIR* directory = ::opendir(PeersDirectory().c_str())) {
        while (const dirent* item = ::readdir(directory))
            if (PeerExists(item->d_name))
                names.emplace_back(item->d_name);
        ::closedir(directory);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) callback(context, name.c_str());
    return 0;
}

std::uint32_t PppEnumConnections(QorRasConnectionCallback callback, void* context) {
    std::vector<std::pair<std::string, pid_t>> links;
    if (DIR* directory = ::opendir(RunDirectory().c_str())) {
        while (const dirent* item = ::readdir(directory)) {
            const std::string name = item->d_name;
            if (name.size() <= 8 || name.compare(0, 4, "ppp-") != 0 ||
                name.compare(name.size() - 4, 4, ".pid") != 0)
                continue;
            const std::string entry = name.substr(4, name.size() - 8);
            if (const auto pid = LinkUp(entry))
                links.emplace_back(entry, *pid);
        }
        ::closedir(directory);
    }
    std::sort(links.begin(), links.end());
    for (const auto& [entry, pid] : links)
        callback(context, static_cast<QorRasConnection>(pid), entry.c_str());
    return 0;
}

std::uint32_t PppGetEntryDialParams(const char* entryName, QorRasDialParams* params) {
    if (!entryName || !params || !PeerExists(entryName))
        return QOR_RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    *params = QorRasDialParams{};
    CopyText(params->entryName, entryName);
    // The peers file's own user name; its password stays in pppd's secrets files.
    std::ifstream in(PeersDirectory() + "/" + entryName);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string option, value;
        if (words >> option >> value && option == "user") {
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            CopyText(params->userName, value);
        }
    }
    return 0;
}

std::uint32_t PppDial(const QorRasDialParams* params, QorRasDialNotify notify, void* context,
                      QorRasConnection* connection) {
    if (!params || !notify || !connection)
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    *connection = 0;
    const std::string entry = params->entryName;
    if (!PeerExists(entry))
        return QOR_RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    const auto optionsFile = WriteOptionsFile(*params);
    if (!optionsFile)
        return QOR_RAS_ERROR_INVALID_PARAMETER;

    auto dial = std::make_shared<Dial>();
    dial->entry = entry;
    dial->optionsFile = *optionsFile;
    int output = -1, error = 0;
    const pid_t child =
        StartPppd(DialArguments(PeersDirectory(), entry, *optionsFile), &output, &error);
    if (child < 0) {
        if (!optionsFile->empty())
            ::unlink(optionsFile->c_str());
        return 633;  // pppd is missing or cannot run
    }
    dial->child = child;
    const QorRasConnection handle = g_nextHandle++;
    {
        std::lock_guard lock(g_dialsMutex);
        g_dials.emplace(handle, dial);
    }
    *connection = handle;
    std::thread(&FollowDial, dial, output, notify, context, handle).detach();
    return 0;
}

std::uint32_t PppGetConnectStatus(QorRasConnection handle, QorRasConnectionStatus* status) {
    if (!status)
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    *status = QorRasConnectionStatus{};
    CopyText(status->deviceName, "pppd");
    if (handle < kDialHandleBase) {
        // A link found among the connections: up while its pppd runs with its pid file.
        const pid_t pid = static_cast<pid_t>(handle);
        bool up = false;
        if (DIR* directory = ::opendir(RunDirectory().c_str())) {
            while (const dirent* item = ::readdir(directory)) {
                const std::string name = item->d_name;
                if (name.size() > 8 && name.compare(0, 4, "ppp-") == 0 &&
                    name.compare(name.size() - 4, 4, ".pid") == 0)
                    up |= LinkUp(name.substr(4, name.size() - 8)) == pid;
            }
            ::closedir(directory);
        }
        if (!up)
            return QOR_RAS_ERROR_INVALID_HANDLE;
        status->state = QOR_RASCS_CONNECTED;
        return 0;
    }
    const auto dial = FindDial(handle);
    if (!dial)
        return QOR_RAS_ERROR_INVALID_HANDLE;
    std::lock_guard lock(dial->mutex);
    if (dial->ended && dial->error == 0 && dial->state == QOR_RASCS_CONNECTED) {
        if (LinkUp(dial->entry) != dial->linkPid || dial->linkPid == 0) {
            if (dial->hungUp) {
                ForgetDial(handle);
                return QOR_RAS_ERROR_INVALID_HANDLE;
            }
            status->state = QOR_RASCS_DISCONNECTED;
            return 0;
        }
    } else if (dial->hungUp && dial->child < 0) {
        ForgetDial(handle);
        return QOR_RAS_ERROR_INVALID_HANDLE;
    }
    status->state = dial->state;
    status->error = dial->error;
    return 0;
}

std::uint32_t PppHangUp(QorRasConnection handle) {
    if (handle < kDialHandleBase) {
        QorRasConnectionStatus status{};
        if (PppGetConnectStatus(handle, &status) != 0)
            return QOR_RAS_ERROR_INVALID_HANDLE;
        ::kill(static_cast<pid_t>(handle), SIGTERM);
        return 0;
    }
    const auto dial = FindDial(handle);
    if (!dial)
        return QOR_RAS_ERROR_INVALID_HANDLE;
    {
        std::lock_guard lock(dial->mutex);
        dial->hungUp = true;
        if (dial->child > 0)
            ::kill(dial->child, SIGTERM);  // still dialling
        else if (dial->linkPid > 0 && LinkUp(dial->entry) == dial->linkPid)
            ::kill(dial->linkPid, SIGTERM);
    }
    // A notification under way ends before hanging up returns, unless it is the caller.
    bool fromNotifier;
    {
        std::lock_guard lock(dial->mutex);
        fromNotifier = dial->notifier == std::this_thread::get_id();
    }
    if (!fromNotifier)
        std::lock_guard wait(dial->notifyMutex);
    return 0;
}

std::uint32_t PppGetErrorString(std::uint32_t error, char* buffer, std::uint32_t size) {
    const std::string text = ErrorText(error);
    if (text.empty() || !buffer || size == 0)
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    std::snprintf(buffer, size, "%s", text.c_str());
    return 0;
}

const QorRasProvider kTable = {QOR_RAS_PROVIDER_VERSION,
                               sizeof(QorRasProvider),
                               &PppEnumEntries,
                               &PppEnumConnections,
                               &PppDial,
                               &PppGetConnectStatus,
                               &PppGetEntryDialParams,
                               &PppHangUp,
                               &PppGetErrorString};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorRasProvider* QorcomRasProvider() {
    return &kTable;
}
