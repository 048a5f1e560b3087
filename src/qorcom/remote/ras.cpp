#include "qorcom/remote/ras.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <stop_token>
#include <thread>
#include <utility>

#include "comlite/bstr.h"
#include "platform/os_services.h"
#include "platform/os_support.h"
#include "qorcom/frame/exports.h"
#include "qorcom/remote/dial_status.h"
#include "qorcom/remote/headless_status.h"

namespace tw::qorcom {
namespace {

constexpr const char* kProviderVariable = "QORCOM_RAS_PROVIDER";
constexpr const char* kProviderFileName = "libqorcom-ras.so";
constexpr const char* kTimeLimitVariable = "QORCOM_RAS_DIAL_LIMIT";
constexpr const char* kStatusCaption = "Connection Status";
constexpr std::size_t kErrorTextBuffer = 256;
// How long HangUp follows a connection on its way out, and how often it looks.
constexpr auto kHangUpLimit = std::chrono::seconds(3);
constexpr auto kHangUpPoll = std::chrono::milliseconds(50);
// The component's own text for the dial it gave up at its time limit, when the provider has none.
constexpr const char* kTimedOutText =
    "The connection was not made within the time limit; the call was hung up.";
// How often a connection notification looks at the active connections.
constexpr auto kWatchInterval = std::chrono::milliseconds(250);

// ---- Loading the provider ----

std::string ProviderPath() {
    if (const char* path = std::getenv(kProviderVariable); path && *path)
        return path;
    return ModuleDirectory() + kProviderFileName;
}

// The table, or nullptr when there is no usable provider library.
const QorRasProvider* LoadProviderTable() {
    bool loaded = false;
    std::string error;
    void* entry =
        platform::LoadPinnedSymbol(ProviderPath(), QOR_RAS_PROVIDER_SYMBOL, &loaded, &error);
    if (!entry)
        return nullptr;
    const QorRasProvider* table = reinterpret_cast<QorcomRasProviderFunction>(entry)();
    if (!table || table->version != QOR_RAS_PROVIDER_VERSION ||
        table->size < sizeof(QorRasProvider))
        return nullptr;
    return table;
}

// The first function the table lacks, in the order the component looks them up; nullptr when
// none is missing.
const char* MissingFunction(const QorRasProvider& t) {
    if (!t.RasEnumEntries)
        return "RasEnumEntries";
    if (!t.RasEnumConnections)
        return "RasEnumConnections";
    if (!t.RasDial)
        return "RasDial";
    if (!t.RasGetConnectStatus)
        return "RasGetConnectStatus";
    if (!t.RasGetEntryDialParams)
        return "RasGetEntryDialParams";
    if (!t.RasHangUp)
        return "RasHangUp";
    if (!t.RasGetErrorString)
        return "RasGetErrorString";
    return nullptr;
}

// ---- The status window ----

std::mutex g_windowFactoryMutex;
DialStatusWindowFactory g_windowFactory;

std::shared_ptr<DialStatusWindow> MakeStatusWindow() {
    DialStatusWindowFactory factory;
    {
        std::lock_guard lock(g_windowFactoryMutex);
        factory = g_windowFactory;
    }
    std::shared_ptr<DialStatusWindow> window = factory ? factory() : nullptr;
    return window ? window : std::make_shared<HeadlessStatusWindow>();
}

// The cancel functions of the windows a host's C sink has open, by token, so that a cancel
// arriving after its dial ended finds nothing instead of a freed function.
class CancelTokens {
public:
    static CancelTokens& Instance() {
        static CancelTokens tokens;
        return tokens;
    }
    std::uintptr_t Add(std::function<void()> cancel) {
        std::lock_guard lock(mutex_);
        const std::uintptr_t token = ++last_;
        cancels_.emplace(token, std::move(cancel));
        return token;
    }
    void Remove(std::uintptr_t token) {
        std::lock_guard lock(mutex_);
        cancels_.erase(token);
    }
    static void Cancel(std::uintptr_t token) {
        std::function<void()> cancel;
        {
            std::lock_guard lock(Instance().mutex_);
            const auto it = Instance().cancels_.find(token);
            if (it == Instance().cancels_.end())
                return;
            cancel = it->second;
        }
        cancel();
    }

private:
    std::mutex mutex_;
    std::uintptr_t last_ = 0;
    std::map<std::uintptr_t, std::function<void()>> cancels_;
};

// A status window that forwards to a host's C sink.
class HostSinkWindow final : public DialStatusWindow {
public:
    explicit HostSinkWindow(const QorDialStatusSink& sink) : sink_(sink) {}
    ~HostSinkWindow() override { Close(); }
    void Open(const std::string& caption, std::function<void()> cancel) override {
        token_ = CancelTokens::Instance().Add(std::move(cancel));
        if (sink_.open)
            sink_.open(sink_.context, caption.c_str(), &CancelTokens::Cancel, token_);
    }
    void SetText(const std::string& text) override {
        if (sink_.setText)
            sink_.setText(sink_.context, text.c_str());
    }
    void Close() override {
        if (token_ == 0)
            return;
        CancelTokens::Instance().Remove(std::exchange(token_, 0));
        if (sink_.close)
            sink_.close(sink_.context);
    }

private:
    QorDialStatusSink sink_;
    std::uintptr_t token_ = 0;
};

std::atomic<std::int64_t> g_timeLimitMs{0};

// ---- Following a connection on its way out ----

// Hangs up and waits (a few seconds at most) until the connection is gone: the line takes a
// moment to drop, and a new dial on the same port fails until it has.
std::uint32_t HangUpAndFollow(const QorRasProvider& ras, QorRasConnection connection) {
    const std::uint32_t outcome = ras.RasHangUp(connection);
    const auto deadline = std::chrono::steady_clock::now() + kHangUpLimit;
    QorRasConnectionStatus status{};
    while (ras.RasGetConnectStatus(connection, &status) != QOR_RAS_ERROR_INVALID_HANDLE &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kHangUpPoll);
    }
    return outcome;
}

// ---- One dial attempt ----

// Shared between Dial's thread, the provider's notification thread and the window's cancel.
// Notifications find their session through a registry by number, so one arriving late (after
// Dial returned) finds nothing instead of freed memory.
struct DialSession {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    bool cancelled = false;
    bool connected = false;
    std::uint32_t error = 0;
    std::mutex windowMutex;
    bool windowClosed = false;
    std::shared_ptr<DialStatusWindow> window;

    // The window gets no text after it was closed, even from a notification that was on its
    // way when the dial ended.
    void ShowText(const std::string& text) {
        std::lock_guard lock(windowMutex);
        if (!windowClosed)
            window->SetText(text);
    }
    void CloseWindow() {
        std::lock_guard lock(windowMutex);
        if (!std::exchange(windowClosed, true))
            window->Close();
    }

    void Finish(bool isConnected, std::uint32_t failure, bool byCancel) {
        std::lock_guard lock(mutex);
        if (finished)
            return;
        finished = true;
        connected = isConnected;
        error = failure;
        cancelled = byCancel;
        changed.notify_all();
    }
};

class DialSessions {
public:
    static DialSessions& Instance() {
        static DialSessions sessions;
        return sessions;
    }
    std::uintptr_t Add(std::shared_ptr<DialSession> session) {
        std::lock_guard lock(mutex_);
        const std::uintptr_t id = ++last_;
        sessions_.emplace(id, std::move(session));
        return id;
    }
    std::shared_ptr<DialSession> Find(std::uintptr_t id) {
        std::lock_guard lock(mutex_);
        const auto it = sessions_.find(id);
        return it == sessions_.end() ? nullptr : it->second;
    }
    void Remove(std::uintptr_t id) {
        std::lock_guard lock(mutex_);
        sessions_.erase(id);
    }

private:
    std::mutex mutex_;
    std::uintptr_t last_ = 0;
    std::map<std::uintptr_t, std::shared_ptr<DialSession>> sessions_;
};

void OnDialProgress(void* context, QorRasConnection, std::uint32_t state, std::uint32_t error) {
    const auto session = DialSessions::Instance().Find(reinterpret_cast<std::uintptr_t>(context));
    if (!session)
        return;
    if (error != 0 || state == QOR_RASCS_DISCONNECTED) {
        session->Finish(false, error, false);
    } else if (state == QOR_RASCS_CONNECTED) {
        session->Finish(true, 0, false);
    } else if (const std::string text = DialStateText(state); !text.empty()) {
        session->ShowText(text);
    }
}

// Copies a text into a fixed field; false when it does not fit.
template <std::size_t N>
bool CopyField(char (&field)[N], const std::string& text) {
    if (text.size() >= N)
        return false;
    text.copy(field, text.size());
    field[text.size()] = '\0';
    return true;
}

// Wipes what held a password; volatile so the stores are not dropped as dead.
void Wipe(char* bytes, std::size_t size) {
    volatile char* p = bytes;
    for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

std::string LimitText(std::chrono::milliseconds limit) {
    const auto ms = limit.count();
    char text[64];
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "%lld second%s", static_cast<long long>(ms / 1000),
                      ms == 1000 ? "" : "s");
    else
        std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(ms));
    return text;
}

std::string UnknownError(LONG result) {
    char text[64];
    std::snprintf(text, sizeof text, "Unknown RAS error %ld.", static_cast<long>(result));
    return text;
}

HRESULT ReturnBool(bool flag, VARIANT_BOOL* value) {
    *value = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ReturnText(const std::string& text, BSTR* out) {
    *out = comlite::AllocBstrUtf8(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::set<QorRasConnection> ActiveConnections(const QorRasProvider& ras) {
    std::set<QorRasConnection> active;
    ras.RasEnumConnections(
        [](void* context, QorRasConnection connection, const char*) {
            static_cast<std::set<QorRasConnection>*>(context)->insert(connection);
        },
        &active);
    return active;
}

}  // namespace

// ---- Connection notification ----

// Looks at the active connections a few times a second and signals the caller's event when one
// appears or goes, as asked. Stops (and joins) on destruction.
class ConnectionWatcher {
public:
    ConnectionWatcher(const QorRasProvider& ras, platform::EventDescriptor event, bool onConnect,
                      bool onDisconnect)
        : thread_([this, &ras, event = std::move(event), onConnect, onDisconnect](
                      std::stop_token stop) { Run(stop, ras, event, onConnect, onDisconnect); }) {}
    ~ConnectionWatcher() {
        thread_.request_stop();
        wake_.notify_all();
    }

private:
    void Run(std::stop_token stop, const QorRasProvider& ras,
             const platform::EventDescriptor& event, bool onConnect, bool onDisconnect) {
        std::set<QorRasConnection> known = ActiveConnections(ras);
        std::mutex mutex;
        while (!stop.stop_requested()) {
            {
                std::unique_lock lock(mutex);
                wake_.wait_for(lock, stop, kWatchInterval, [] { return false; });
            }
            if (stop.stop_requested())
                break;
            const std::set<QorRasConnection> now = ActiveConnections(ras);
            bool appeared = false, went = false;
            for (QorRasConnection c : now) appeared |= !known.contains(c);
            for (QorRasConnection c : known) went |= !now.contains(c);
            if ((appeared && onConnect) || (went && onDisconnect))
                event.Signal();
            known = now;
        }
    }

    std::condition_variable_any wake_;
    std::jthread thread_;  // last: started once everything it uses exists
};

// ---- Public helpers ----

void SetDialStatusWindowFactory(DialStatusWindowFactory factory) {
    std::lock_guard lock(g_windowFactoryMutex);
    g_windowFactory = std::move(factory);
}

void SetDialTimeLimit(std::chrono::milliseconds limit) {
    g_timeLimitMs = limit.count() > 0 ? limit.count() : 0;
}

std::chrono::milliseconds DialTimeLimit() {
    if (const std::int64_t set = g_timeLimitMs.load(); set > 0)
        return std::chrono::milliseconds(set);
    if (const char* text = std::getenv(kTimeLimitVariable); text && *text) {
        char* end = nullptr;
        const long seconds = std::strtol(text, &end, 10);
        if (*end == '\0' && seconds > 0 && seconds <= 24L * 3600)
            return std::chrono::seconds(seconds);
    }
    return std::chrono::seconds(QOR_DIAL_DEFAULT_TIME_LIMIT);
}

std::string DialStateText(std::uint32_t state) {
    switch (state) {
        case QOR_RASCS_OPEN_PORT:
            return "Opening port....";
        case QOR_RASCS_CONNECT_DEVICE:
            return "Connecting....";
        case QOR_RASCS_AUTHENTICATE:
            return "Authenticating....";
        case QOR_RASCS_AUTHENTICATED:
            return "Authenticated.";
        case QOR_RASCS_PREPARE_FOR_CALLBACK:
            return "Preparing for callback....";
        default:
            return {};
    }
}

// ---- CRas ----

CRas::CRas(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.Ras") {}

CRas::~CRas() = default;

HRESULT CRas::Load() {
    if (ras_)
        return S_OK;
    const QorRasProvider* table = LoadProviderTable();
    if (!table)
        return Raise("RAS not found.", kErrorPlain);
    if (const char* missing = MissingFunction(*table))
        return Raise(std::string(missing) + " not found.", kErrorPlain);
    ras_ = table;
    return S_OK;
}

HRESULT CRas::get_Installed(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT {
        if (!value)
            return E_POINTER;
        // Only a missing library means not installed: a provider lacking a function is there,
        // and the members name what it lacks.
        return ReturnBool(ras_ != nullptr || LoadProviderTable() != nullptr, value);
    });
}

HRESULT CRas::Walk(bool first, bool entries, BSTR* name, LONG* result) {
    if (!name || !result)
        return E_POINTER;
    *name = nullptr;
    if (const HRESULT hr = Load(); FAILED(hr))
        return hr;
    std::vector<std::string>& list = entries ? entries_ : connections_;
    std::size_t& position = entries ? entryPosition_ : connectionPosition_;
    *result = 0;
    if (first) {
        list.clear();
        position = 0;
        if (entries) {
            *result = static_cast<LONG>(ras_->RasEnumEntries(
                [](void* context, const char* entry) {
                    static_cast<std::vector<std::string>*>(context)->emplace_back(entry ? entry
                                                                                        : "");
                },
                &list));
        } else {
            *result = static_cast<LONG>(ras_->RasEnumConnections(
                [](void* context, QorRasConnection, const char* entry) {
                    static_cast<std::vector<std::string>*>(context)->emplace_back(entry ? entry
                                                                                        : "");
                },
                &list));
        }
    }
    const std::string next = position < list.size() ? list[position++] : std::string();
    return ReturnText(next, name);
}

HRESULT CRas::GetFirstEntry(BSTR* entry, LONG* result) {
    return Guarded([&]() -> HRESULT { return Walk(true, true, entry, result); });
}
HRESULT CRas::GetNextEntry(BSTR* entry, LONG* result) {
    return Guarded([&]() -> HRESULT { return Walk(false, true, entry, result); });
}
HRESULT CRas::GetFirstConnection(BSTR* connection, LONG* result) {
    return Guarded([&]() -> HRESULT { return Walk(true, false, connection, result); });
}
HRESULT CRas::GetNextConnection(BSTR* connection, LONG* result) {
    return Guarded([&]() -> HRESULT { return Walk(false, false, connection, result); });
}

HRESULT CRas::Dial(BSTR entry, BSTR phoneNumber, BSTR callbackNumber, BSTR userName, BSTR password,
                   BSTR domain, LONG* result) {
    return Guarded([&]() -> HRESULT {
        if (!result)
            return E_POINTER;
        *result = kDialNotConnected;
        if (const HRESULT hr = Load(); FAILED(hr))
            return hr;
        std::string replacements[5] = {comlite::BstrToUtf8(phoneNumber),
                                       comlite::BstrToUtf8(callbackNumber),
                                       comlite::BstrToUtf8(userName), comlite::BstrToUtf8(password),
                                       comlite::BstrToUtf8(domain)};
        *result = DialLoaded(comlite::BstrToUtf8(entry), replacements);
        Wipe(replacements[3].data(), replacements[3].size());
        return S_OK;
    });
}

LONG CRas::DialLoaded(const std::string& entry, const std::string* replacements) {
    if (connection_ != 0)
        HangUpLoaded();

    QorRasDialParams params{};
    if (!CopyField(params.entryName, entry))
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    if (const std::uint32_t error = ras_->RasGetEntryDialParams(params.entryName, &params))
        return static_cast<LONG>(error);
    params.entryName[sizeof params.entryName - 1] = '\0';
    bool fits = CopyField(params.entryName, entry);
    auto replace = [&fits](auto& field, const std::string& value) {
        if (!value.empty())
            fits &= CopyField(field, value);
    };
    replace(params.phoneNumber, replacements[0]);
    replace(params.callbackNumber, replacements[1]);
    replace(params.userName, replacements[2]);
    replace(params.password, replacements[3]);
    replace(params.domain, replacements[4]);
    if (!fits) {
        Wipe(params.password, sizeof params.password);
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    }

    auto session = std::make_shared<DialSession>();
    session->window = MakeStatusWindow();
    const std::uintptr_t id = DialSessions::Instance().Add(session);
    // Weak: the window keeps its cancel function, and the session keeps the window.
    session->window->Open(kStatusCaption, [weak = std::weak_ptr<DialSession>(session)] {
        if (const auto alive = weak.lock())
            alive->Finish(false, 0, true);
    });

    QorRasConnection connection = 0;
    const std::uint32_t started =
        ras_->RasDial(&params, &OnDialProgress, reinterpret_cast<void*>(id), &connection);
    Wipe(params.password, sizeof params.password);
    if (started != 0) {
        session->Finish(false, started, false);
    } else {
        const auto limit = DialTimeLimit();
        std::unique_lock lock(session->mutex);
        if (!session->changed.wait_for(lock, limit, [&] { return session->finished; })) {
            lock.unlock();
            session->Finish(false, QOR_DIAL_TIMED_OUT, false);
            session->ShowText("No connection within " + LimitText(limit) + "; hanging up.");
        }
    }
    session->CloseWindow();

    LONG outcome;
    {
        std::lock_guard lock(session->mutex);
        if (session->connected) {
            outcome = 0;
        } else if (session->cancelled) {
            outcome = kDialCancelled;
        } else {
            outcome = session->error != 0 ? static_cast<LONG>(session->error) : kDialNotConnected;
        }
    }
    if (outcome == 0) {
        connection_ = connection;
    } else if (connection != 0) {
        // A failed or abandoned attempt still holds the port until it is hung up.
        HangUpAndFollow(*ras_, connection);
    }
    DialSessions::Instance().Remove(id);
    return outcome;
}

LONG CRas::HangUpLoaded() {
    const QorRasConnection connection = std::exchange(connection_, 0);
    if (connection == 0)
        return 0;
    return static_cast<LONG>(HangUpAndFollow(*ras_, connection));
}

HRESULT CRas::HangUp(LONG* result) {
    return Guarded([&]() -> HRESULT {
        if (!result)
            return E_POINTER;
        *result = 0;
        if (const HRESULT hr = Load(); FAILED(hr))
            return hr;
        *result = HangUpLoaded();
        return S_OK;
    });
}

HRESULT CRas::ConnectionNotification(LONG eventHandle, VARIANT_BOOL onConnect,
                                     VARIANT_BOOL onDisconnect) {
    return Guarded([&]() -> HRESULT {
        if (const HRESULT hr = Load(); FAILED(hr))
            return hr;
        watcher_.reset();
        if (!onConnect && !onDisconnect)
            return S_OK;
        auto event = platform::EventDescriptor::Adopt(eventHandle);
        if (!event)
            return E_HANDLE;
        watcher_ = std::make_unique<ConnectionWatcher>(*ras_, std::move(*event), onConnect != 0,
                                                       onDisconnect != 0);
        return S_OK;
    });
}

HRESULT CRas::State(LinkState wanted, VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    *value = VARIANT_FALSE;
    if (const HRESULT hr = Load(); FAILED(hr))
        return hr;
    LinkState state = LinkState::Disconnected;
    QorRasConnectionStatus status{};
    if (connection_ != 0 && ras_->RasGetConnectStatus(connection_, &status) == 0) {
        if (status.state == QOR_RASCS_CONNECTED)
            state = LinkState::Connected;
        else if (status.state != QOR_RASCS_DISCONNECTED && status.error == 0)
            state = LinkState::Connecting;
    }
    return ReturnBool(state == wanted, value);
}

HRESULT CRas::get_Connected(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT { return State(LinkState::Connected, value); });
}
HRESULT CRas::get_Connecting(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT { return State(LinkState::Connecting, value); });
}
HRESULT CRas::get_Disconnected(VARIANT_BOOL* value) {
    return Guarded([&]() -> HRESULT { return State(LinkState::Disconnected, value); });
}

HRESULT CRas::GetResultString(LONG result, BSTR* error) {
    return Guarded([&]() -> HRESULT {
        if (!error)
            return E_POINTER;
        *error = nullptr;
        if (const HRESULT hr = Load(); FAILED(hr))
            return hr;
        if (result < 600 || result > 868)
            return ReturnText(UnknownError(result), error);
        char text[kErrorTextBuffer] = {};
        if (ras_->RasGetErrorString(static_cast<std::uint32_t>(result), text, sizeof text) != 0)
            return ReturnText(result == QOR_DIAL_TIMED_OUT ? kTimedOutText : UnknownError(result),
                              error);
        text[sizeof text - 1] = '\0';
        return ReturnText(text, error);
    });
}

}  // namespace tw::qorcom

// ---- The host's entry points ----

extern "C" uint32_t QorcomSetDialStatusSink(const QorDialStatusSink* sink) {
    using namespace tw::qorcom;
    if (!sink) {
        SetDialStatusWindowFactory(nullptr);
        return 0;
    }
    if (sink->version != QOR_DIAL_STATUS_SINK_VERSION || sink->size < sizeof(QorDialStatusSink))
        return QOR_RAS_ERROR_INVALID_PARAMETER;
    SetDialStatusWindowFactory([copy = *sink] { return std::make_shared<HostSinkWindow>(copy); });
    return 0;
}

extern "C" void QorcomSetDialTimeLimit(uint32_t seconds) {
    tw::qorcom::SetDialTimeLimit(std::chrono::seconds(seconds));
}
