// A simulated dial-up provider for the tests: a phone book read from a configuration file,
// scripted dial progress, and active connections kept in a file so that every object and every
// process using the provider sees them, as with a real dial-up service.
//
// Environment:
//   QORCOM_RAS_SIM_CONFIG   the phone book (required for any entry to exist)
//   QORCOM_RAS_SIM_STATE    the active-connection file (default: the phone book's path + ".active")
//   QORCOM_RAS_SIM_LOG      when set, each dial appends "entry|phone|callback|user|password|domain"
//   QORCOM_RAS_SIM_MISSING  function names (comma-separated) the table leaves out
//
// Phone book:
//   [Shop 12]
//   PhoneNumber = 555-0112       stored dial parameters (also UserName, Password, Domain,
//   CallbackNumber)
//   States = 0,2,5,14            states reported while dialling, in order
//   Result = 0                   0 connects; any other number fails the dial with it
//   DelayMs = 5                  pause before each state
//   Hold = yes                   stop after the states until hung up (for cancelling)

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qorcom/remote/ras_provider.h"

namespace {

struct Entry {
    std::string name;
    std::map<std::string, std::string> values;  // keys upper-cased
    std::string Value(const std::string& key) const {
        const auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    }
};

std::string Trim(const std::string& text) {
    const auto start = text.find_first_not_of(" \t\r");
    if (start == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(start, end - start + 1);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<Entry> ReadPhoneBook() {
    std::vector<Entry> entries;
    std::ifstream in(Env("QORCOM_RAS_SIM_CONFIG"));
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            entries.push_back({line.substr(1, line.size() - 2), {}});
        } else if (const auto eq = line.find('='); eq != std::string::npos && !entries.empty()) {
            entries.back().values[Upper(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
        }
    }
    return entries;
}

const Entry* FindEntry(const std::vector<Entry>& book, const std::string& name) {
    for (const Entry& e : book)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::string StatePath() {
    const std::string state = Env("QORCOM_RAS_SIM_STATE");
    return state.empty() ? Env("QORCOM_RAS_SIM_CONFIG") + ".active" : state;
}

// ---- Active connections, shared by processes through a file ----

struct Active {
    QorRasConnection handle;
    std::string entry;
};

class StateFile {
public:
    StateFile() : path_(StatePath()) {
        lockFd_ = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lockFd_ >= 0)
            ::flock(lockFd_, LOCK_EX);
    }
    ~StateFile() {
        if (lockFd_ >= 0)
            ::close(lockFd_);
    }
    std::vector<Active> Read() const {
        std::vector<Active> all;
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line)) {
            const auto tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            all.push_back({std::stoull(line.substr(0, tab)), line.substr(tab + 1)});
        }
        return all;
    }
    void Write(const std::vector<Active>& all) const {
        const std::string temp = path_ + ".new";
        {
            std::ofstream out(temp, std::ios::trunc);
            for (const Active& a : all) out << a.handle << '\t' << a.entry << '\n';
        }
        std::rename(temp.c_str(), path_.c_str());
    }

private:
    std::string path_;
    int lockFd_ = -1;
};

// ---- Dials in progress in this process ----

struct Pending {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
    bool done = false;  // the dial thread will not notify again
    std::uint32_t state = QOR_RASCS_OPEN_PORT;
    std::uint32_t error = 0;
};

std::mutex g_pendingMutex;
std::map<QorRasConnection, std::shared_ptr<Pending>> g_pending;
std::atomic<std::uint32_t> g_counter{0};

std::shared_ptr<Pending> FindPending(QorRasConnection handle) {
    std::lock_guard lock(g_pendingMutex);
    const auto it = g_pending.find(handle);
    return it == g_pending.end() ? nullptr : it->second;
}

void CopyText(char* field, std::size_t size, const std::string& text) {
    std::snprintf(field, size, "%s", text.c_str());
}

std::vector<std::uint32_t> ParseStates(const std::string& text) {
    std::vector<std::uint32_t> states;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!Trim(item).empty())
            states.push_back(static_cast<std::uint32_t>(std::stoul(Trim(item), nullptr, 0)));
    return states;
}

void RunDial(std::shared_ptr<Pending> pending, Entry entry, QorRasConnection handle,
             QorRasDialNotify notify, void* context) {
    const auto delay = std::chrono::milliseconds(std::atoi(entry.Value("DELAYMS").c_str()));
    const std::uint32_t result =
        static_cast<std::uint32_t>(std::atoi(entry.Value("RESULT").c_str()));
    const bool hold = Upper(entry.Value("HOLD")) == "YES";
    std::unique_lock lock(pending->mutex);
    auto step = [&](std::uint32_t state, std::uint32_t error) {
        // Notifications run unlocked so that the component may call back into the provider.
        pending->state = state;
        pending->error = error;
        lock.unlock();
        notify(context, handle, state, error);
        lock.lock();
    };
    for (std::uint32_t state : ParseStates(entry.Value("STATES"))) {
        if (pending->changed.wait_for(lock, delay, [&] { return pending->cancelled; }))
            break;
        step(state, 0);
    }
    if (hold)
        pending->changed.wait(lock, [&] { return pending->cancelled; });
    if (!pending->cancelled) {
        if (result == 0) {
            {
                StateFile file;
                auto all = file.Read();
                all.push_back({handle, entry.name});
                file.Write(all);
            }
            step(QOR_RASCS_CONNECTED, 0);
        } else {
            step(pending->state, result);
        }
    }
    pending->done = true;
    pending->changed.notify_all();
}

// ---- The seven functions ----

std::uint32_t SimEnumEntries(QorRasEntryCallback callback, void* context) {
    for (const Entry& e : ReadPhoneBook()) callback(context, e.name.c_str());
    return 0;
}

std::uint32_t SimEnumConnections(QorRasConnectionCallback callback, void* context) {
    std::vector<Active> all;
    {
        StateFile file;
        all = file.Read();
    }
    for (const Active& a : all) callback(context, a.handle, a.entry.c_str());
    return 0;
}

std::uint32_t SimGetEntryDialParams(const char* name, QorRasDialParams* params) {
    const auto book = ReadPhoneBook();
    const Entry* entry = FindEntry(book, name ? name : "");
    if (!entry)
        return QOR_RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    *params = QorRasDialParams{};
    CopyText(params->entryName, sizeof params->entryName, entry->name);
    CopyText(params->phoneNumber, sizeof params->phoneNumber, entry->Value("PHONENUMBER"));
    CopyText(params->callbackNumber, sizeof params->callbackNumber, entry->Value("CALLBACKNUMBER"));
    CopyText(params->userName, sizeof params->userName, entry->Value("USERNAME"));
    CopyText(params->password, sizeof params->password, entry->Value("PASSWORD"));
    CopyText(params->domain, sizeof params->domain, entry->Value("DOMAIN"));
    return 0;
}

std::uint32_t SimDial(const QorRasDialParams* params, QorRasDialNotify notify, void* context,
                      QorRasConnection* connection) {
    *connection = 0;
    if (const std::string log = Env("QORCOM_RAS_SIM_LOG"); !log.empty()) {
        std::ofstream out(log, std::ios::app);
        out << params->entryName << '|' << params->phoneNumber << '|' << params->callbackNumber
            << '|' << params->userName << '|' << params->password << '|' << params->domain << '\n';
    }
    const auto book = ReadPhoneBook();
    const Entry* entry = FindEntry(book, params->entryName);
    if (!entry)
        return QOR_RAS_ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    const QorRasConnection handle = (static_cast<QorRasConnection>(::getpid()) << 24) | ++g_counter;
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(g_pendingMutex);
        g_pending[handle] = pending;
    }
    *connection = handle;
    std::thread(RunDial, pending, *entry, handle, notify, context).detach();
    return 0;
}

std::uint32_t SimGetConnectStatus(QorRasConnection handle, QorRasConnectionStatus* status) {
    *status = QorRasConnectionStatus{};
    CopyText(status->deviceName, sizeof status->deviceName, "sim0");
    {
        StateFile file;
        for (const Active& a : file.Read()) {
            if (a.handle == handle) {
                status->state = QOR_RASCS_CONNECTED;
                return 0;
            }
        }
    }
    if (const auto pending = FindPending(handle)) {
        // A finished dial is described by the connection file alone: another process may
        // have hung the connection up since.
        std::lock_guard lock(pending->mutex);
        if (!pending->cancelled && !pending->done) {
            status->state = pending->state;
            status->error = pending->error;
            return 0;
        }
    }
    return QOR_RAS_ERROR_INVALID_HANDLE;
}

std::uint32_t SimHangUp(QorRasConnection handle) {
    bool known = false;
    if (const auto pending = FindPending(handle)) {
        known = true;
        std::unique_lock lock(pending->mutex);
        pending->cancelled = true;
        pending->changed.notify_all();
        pending->changed.wait(lock, [&] { return pending->done; });
        std::lock_guard mapLock(g_pendingMutex);
        g_pending.erase(handle);
    }
    StateFile file;
    auto all = file.Read();
    const auto before = all.size();
    std::erase_if(all, [&](const Active& a) { return a.handle == handle; });
    if (all.size() != before) {
        known = true;
        file.Write(all);
    }
    return known ? 0 : QOR_RAS_ERROR_INVALID_HANDLE;
}

std::uint32_t SimGetErrorString(std::uint32_t error, char* buffer, std::uint32_t size) {
    static const std::map<std::uint32_t, const char*> texts = {
        {623, "The system could not find the phone book entry for this connection."},
        {678, "There was no answer."},
        {680, "There was no dial tone."},
        {691, "Access was denied because the username and/or password was invalid on the domain."},
    };
    const auto it = texts.find(error);
    if (it == texts.end())
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    std::snprintf(buffer, size, "%s", it->second);
    return 0;
}

QorRasProvider MakeTable() {
    QorRasProvider table{};
    table.version = QOR_RAS_PROVIDER_VERSION;
    table.size = sizeof table;
    const std::string missing = "," + Env("QORCOM_RAS_SIM_MISSING") + ",";
    auto keep = [&](const char* name) {
        return missing.find(std::string(",") + name + ",") == std::string::npos;
    };
    if (keep("RasEnumEntries"))
        table.RasEnumEntries = &SimEnumEntries;
    if (keep("RasEnumConnections"))
        table.RasEnumConnections = &SimEnumConnections;
    if (keep("RasDial"))
        table.RasDial = &SimDial;
    if (keep("RasGetConnectStatus"))
        table.RasGetConnectStatus = &SimGetConnectStatus;
    if (keep("RasGetEntryDialParams"))
        table.RasGetEntryDialParams = &SimGetEntryDialParams;
    if (keep("RasHangUp"))
        table.RasHangUp = &SimHangUp;
    if (keep("RasGetErrorString"))
        table.RasGetErrorString = &SimGetErrorString;
    return table;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorRasProvider* QorcomRasProvider() {
    // One table per set of missing functions, so a test can change the set while objects
    // that loaded an earlier table keep theirs. Tables live as long as the process.
    static std::mutex mutex;
    static std::map<std::string, QorRasProvider> tables;
    std::lock_guard lock(mutex);
    const auto [it, added] = tables.try_emplace(Env("QORCOM_RAS_SIM_MISSING"), MakeTable());
    return &it->second;
}
