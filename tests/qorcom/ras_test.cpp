#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <mutex>

#include "qorcom/remote/dial_status.h"
#include "qorcom/remote/headless_status.h"
#include "qorcom/remote/ras.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;
using comlite::Variant;

const char* const kPhoneBook = R"(# simulated phone book
[Shop 12]
PhoneNumber = 555-0112
UserName = pos
Password = stored
States = 0,2,5,14
Result = 0
DelayMs = 2

[Busy Line]
States = 0,2
Result = 678
DelayMs = 2

[Slow]
States = 0,2,5
Hold = yes
DelayMs = 2
)";

// The status window, as the tests see it; cancels when told to at a given text.
class RecordingWindow final : public DialStatusWindow {
public:
    void Open(const std::string& caption, std::function<void()> cancel) override {
        std::lock_guard lock(mutex);
        captions.push_back(caption);
        cancel_ = std::move(cancel);
    }
    void SetText(const std::string& text) override {
        std::function<void()> cancel;
        {
            std::lock_guard lock(mutex);
            texts.push_back(text);
            if (text == cancelAt)
                cancel = cancel_;
        }
        if (cancel)
            cancel();
    }
    void Close() override {
        std::lock_guard lock(mutex);
        ++closed;
    }

    std::mutex mutex;
    std::vector<std::string> captions, texts;
    std::string cancelAt;
    int closed = 0;

private:
    std::function<void()> cancel_;
};

class QorcomDialUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDialStatusWindowFactory([this] { return window; });
    }
    void TearDown() override {
        SetDialStatusWindowFactory(nullptr);
        SetDialTimeLimit(std::chrono::milliseconds(0));
    }

    ComPtr<IQORRas> NewRas() { return test::Create<IQORRas>(CLSID_QORRas, IID_IQORRas); }

    static LONG Dial(IQORRas* ras, const std::string& entry, const std::string& phone = "",
                     const std::string& user = "", const std::string& password = "") {
        LONG result = -1;
        EXPECT_EQ(
            ras->Dial(Bstr::FromUtf8(entry).Get(), Bstr::FromUtf8(phone).Get(), nullptr,
                      Bstr::FromUtf8(user).Get(), Bstr::FromUtf8(password).Get(), nullptr, &result),
            S_OK);
        return result;
    }
    static std::vector<std::string> Connections(IQORRas* ras) {
        std::vector<std::string> names;
        Bstr name;
        LONG result = -1;
        EXPECT_EQ(ras->GetFirstConnection(name.Put(), &result), S_OK);
        EXPECT_EQ(result, 0);
        while (!name.Utf8().empty()) {
            names.push_back(name.Utf8());
            ras->GetNextConnection(name.Put(), &result);
        }
        return names;
    }
    static bool Flag(IQORRas* ras, HRESULT (STDMETHODCALLTYPE IQORRas::*get)(VARIANT_BOOL*)) {
        VARIANT_BOOL value = 1;
        EXPECT_EQ((ras->*get)(&value), S_OK);
        return value == VARIANT_TRUE;
    }
    static std::string ResultString(IQORRas* ras, LONG result) {
        Bstr text;
        EXPECT_EQ(ras->GetResultString(result, text.Put()), S_OK);
        return text.Utf8();
    }

    tw::test::ScratchDir dir;
    std::string config = dir.Write("phonebook.ini", kPhoneBook);
    tw::test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", QORCOM_SIM_RAS};
    tw::test::ScopedEnv phoneBook{"QORCOM_RAS_SIM_CONFIG", config};
    tw::test::ScopedEnv dialLog{"QORCOM_RAS_SIM_LOG", dir.File("dials.log")};
    tw::test::ScopedEnv missing{"QORCOM_RAS_SIM_MISSING", std::nullopt};
    std::shared_ptr<RecordingWindow> window = std::make_shared<RecordingWindow>();
};

TEST_F(QorcomDialUpTest, WithoutAProviderOnlyInstalledAnswers) {
    tw::test::ScopedEnv none("QORCOM_RAS_PROVIDER", dir.File("libnothing.so"));
    auto ras = test::CreateDispatch(CLSID_QORRas);
    Variant installed;
    ASSERT_EQ(test::Call(ras.Get(), "Installed", {}, &installed), S_OK);
    EXPECT_EQ(installed.vt, VT_BOOL);
    EXPECT_EQ(installed.boolVal, VARIANT_FALSE);
    Variant entry, code = Variant::I4(869);
    EXPECT_EQ(test::Call(ras.Get(), "GetFirstEntry", {&entry}), HRESULT(0x80040000));
    EXPECT_EQ(test::TakeError(), "QORCom.Ras: RAS not found.");
    EXPECT_EQ(test::Call(ras.Get(), "GetResultString", {&code}), HRESULT(0x80040000));
    EXPECT_EQ(test::TakeError(), "QORCom.Ras: RAS not found.");
    EXPECT_EQ(test::Call(ras.Get(), "HangUp", {}), HRESULT(0x80040000));
    EXPECT_EQ(test::TakeError(), "QORCom.Ras: RAS not found.");
}

TEST_F(QorcomDialUpTest, AProviderLackingAFunctionIsInstalledAndNamesWhatItLacks) {
    tw::test::ScopedEnv lacking("QORCOM_RAS_SIM_MISSING", "RasGetConnectStatus");
    auto ras = test::CreateDispatch(CLSID_QORRas);
    Variant installed, entry;
    ASSERT_EQ(test::Call(ras.Get(), "Installed", {}, &installed), S_OK);
    EXPECT_EQ(installed.boolVal, VARIANT_TRUE) << "the poller would say \"RAS not installed\"";
    EXPECT_EQ(test::Call(ras.Get(), "GetFirstEntry", {&entry}), HRESULT(0x80040000));
    EXPECT_EQ(test::TakeError(), "QORCom.Ras: RasGetConnectStatus not found.");
}

TEST_F(QorcomDialUpTest, EntriesAreWalkedInPhoneBookOrder) {
    auto ras = NewRas();
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Installed));
    std::vector<std::string> names;
    Bstr name;
    LONG result = -1;
    ASSERT_EQ(ras->GetFirstEntry(name.Put(), &result), S_OK);
    EXPECT_EQ(result, 0);
    for (int i = 0; i < 5; ++i) {
        names.push_back(name.Utf8());
        ras->GetNextEntry(name.Put(), &result);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Shop 12", "Busy Line", "Slow", "", ""}));
}

TEST_F(QorcomDialUpTest, ADialledConnectionIsSeenByOtherObjectsAndProcessesUntilHungUp) {
    auto ras = NewRas();
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Disconnected)) << "nothing dialled yet";
    ASSERT_EQ(Dial(ras.Get(), "Shop 12"), 0);
    EXPECT_EQ(window->captions, std::vector<std::string>{"Connection Status"});
    EXPECT_EQ(window->texts, (std::vector<std::string>{"Opening port....", "Connecting....",
                                                       "Authenticating....", "Authenticated."}));
    EXPECT_EQ(window->closed, 1);
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Connected));
    EXPECT_FALSE(Flag(ras.Get(), &IQORRas::get_Connecting));
    EXPECT_FALSE(Flag(ras.Get(), &IQORRas::get_Disconnected));

    // What the poller looks for before dialling: an active connection of the entry.
    EXPECT_EQ(Connections(NewRas().Get()), std::vector<std::string>{"Shop 12"});
    int seen[2];
    ASSERT_EQ(pipe(seen), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto other = NewRas();
        Bstr name;
        LONG result = -1;
        other->GetFirstConnection(name.Put(), &result);
        const std::string text = name.Utf8();
        _exit(write(seen[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0
                                                                                            : 1);
    }
    close(seen[1]);
    char buffer[64] = {};
    const ssize_t n = read(seen[0], buffer, sizeof buffer - 1);
    close(seen[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "Shop 12");

    LONG result = -1;
    EXPECT_EQ(ras->HangUp(&result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Disconnected));
    EXPECT_TRUE(Connections(NewRas().Get()).empty());
    EXPECT_EQ(ras->HangUp(&result), S_OK);
    EXPECT_EQ(result, 0) << "nothing left to hang up";
}

TEST_F(QorcomDialUpTest, NonEmptyArgumentsReplaceTheStoredDialParameters) {
    auto ras = NewRas();
    ASSERT_EQ(Dial(ras.Get(), "Shop 12", "555-9999", "clerk"), 0);
    EXPECT_EQ(tw::test::ReadAll(dir.File("dials.log")), "Shop 12|555-9999||clerk|stored|\n");
    // Too long for the dial parameters: refused before anything is dialled.
    EXPECT_EQ(Dial(ras.Get(), "Shop 12", std::string(300, '5')), 87);
    EXPECT_EQ(tw::test::ReadAll(dir.File("dials.log")), "Shop 12|555-9999||clerk|stored|\n");
    EXPECT_TRUE(Connections(ras.Get()).empty()) << "the earlier connection was hung up first";
}

TEST_F(QorcomDialUpTest, FailedAndCancelledDialsLeaveNoConnectionAndExplainThemselves) {
    auto ras = NewRas();
    EXPECT_EQ(Dial(ras.Get(), "Busy Line"), 678);
    EXPECT_EQ(ResultString(ras.Get(), 678), "There was no answer.");
    EXPECT_EQ(Dial(ras.Get(), "Nowhere"), 623);
    EXPECT_EQ(ResultString(ras.Get(), 623),
              "The system could not find the phone book entry for this connection.");

    window->cancelAt = "Authenticating....";
    EXPECT_EQ(Dial(ras.Get(), "Slow"), 2) << "cancelled in the status window";
    EXPECT_TRUE(Connections(ras.Get()).empty());
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Disconnected));

    EXPECT_EQ(ResultString(ras.Get(), 869), "Unknown RAS error 869.");
    EXPECT_EQ(ResultString(ras.Get(), 599), "Unknown RAS error 599.");
    EXPECT_EQ(ResultString(ras.Get(), -1), "Unknown RAS error -1.");
    EXPECT_EQ(ResultString(ras.Get(), 650), "Unknown RAS error 650.")
        << "no text from the provider";
}

TEST_F(QorcomDialUpTest, ConnectionNotificationSignalsAnEventfd) {
    auto watcher = NewRas();
    const int event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(event, 0);
    int notAnEvent[2];
    ASSERT_EQ(pipe(notAnEvent), 0);
    EXPECT_EQ(watcher->ConnectionNotification(notAnEvent[1], VARIANT_TRUE, VARIANT_TRUE), E_HANDLE);
    close(notAnEvent[0]);
    close(notAnEvent[1]);
    ASSERT_EQ(watcher->ConnectionNotification(event, VARIANT_TRUE, VARIANT_FALSE), S_OK);

    auto dialler = NewRas();
    ASSERT_EQ(Dial(dialler.Get(), "Shop 12"), 0);
    pollfd wait{event, POLLIN, 0};
    EXPECT_EQ(poll(&wait, 1, 5000), 1) << "no signal for the new connection";
    LONG result = -1;
    dialler->HangUp(&result);
    watcher->ConnectionNotification(0, VARIANT_FALSE, VARIANT_FALSE);
    close(event);
}

TEST_F(QorcomDialUpTest, ADialThatNeverEndsIsHungUpAtTheTimeLimit) {
    SetDialTimeLimit(std::chrono::milliseconds(300));
    auto ras = NewRas();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Dial(ras.Get(), "Slow"), QOR_DIAL_TIMED_OUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(window->texts,
              (std::vector<std::string>{"Opening port....", "Connecting....", "Authenticating....",
                                        "No connection within 300 ms; hanging up."}));
    EXPECT_EQ(window->closed, 1);
    EXPECT_TRUE(Connections(ras.Get()).empty());
    EXPECT_TRUE(Flag(ras.Get(), &IQORRas::get_Disconnected));
    EXPECT_EQ(ResultString(ras.Get(), QOR_DIAL_TIMED_OUT),
              "The connection was not made within the time limit; the call was hung up.");
    EXPECT_EQ(Dial(ras.Get(), "Shop 12"), 0) << "the port is free again";
}

TEST(QorcomDialTimeLimit, TheEnvironmentSetsItUnlessTheHostDid) {
    {
        tw::test::ScopedEnv unset("QORCOM_RAS_DIAL_LIMIT", std::nullopt);
        EXPECT_EQ(DialTimeLimit(), std::chrono::seconds(120));
    }
    for (const char* bad : {"0", "-5", "ten", "12x"}) {
        tw::test::ScopedEnv limit("QORCOM_RAS_DIAL_LIMIT", bad);
        EXPECT_EQ(DialTimeLimit(), std::chrono::seconds(120)) << bad;
    }
    tw::test::ScopedEnv limit("QORCOM_RAS_DIAL_LIMIT", "45");
    EXPECT_EQ(DialTimeLimit(), std::chrono::seconds(45));
    QorcomSetDialTimeLimit(7);
    EXPECT_EQ(DialTimeLimit(), std::chrono::seconds(7));
    QorcomSetDialTimeLimit(0);
    EXPECT_EQ(DialTimeLimit(), std::chrono::seconds(45));
}

extern "C" void CountUsr1(int) {}

TEST_F(QorcomDialUpTest, HeadlessDialsLogTheirStatesAndSigusr1CancelsThem) {
    struct sigaction own {
    }, before{}, after{};
    own.sa_handler = &CountUsr1;
    sigemptyset(&own.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &own, &before), 0);

    std::mutex mutex;
    std::vector<std::string> lines;
    SetDialStatusWindowFactory([&] {
        return std::make_shared<HeadlessStatusWindow>([&](const std::string& line) {
            {
                std::lock_guard lock(mutex);
                lines.push_back(line);
            }
            if (line == "Connection Status: Authenticating....")
                kill(getpid(), SIGUSR1);
        });
    });
    auto ras = NewRas();
    EXPECT_EQ(Dial(ras.Get(), "Slow"), 2);
    EXPECT_EQ(lines, (std::vector<std::string>{"Connection Status: Opening port....",
                                               "Connection Status: Connecting....",
                                               "Connection Status: Authenticating...."}));
    EXPECT_TRUE(Connections(ras.Get()).empty());

    ASSERT_EQ(sigaction(SIGUSR1, &before, &after), 0);
    EXPECT_EQ(after.sa_handler, &CountUsr1) << "the program's own handler is back";
    lines.clear();
    EXPECT_EQ(Dial(ras.Get(), "Shop 12"), 0) << "an earlier signal cancels no later dial";
    EXPECT_EQ(lines.size(), 4u);
}

// A host's C sink, as a program loading libqorcom would supply it.
struct HostSink {
    std::mutex mutex;
    std::vector<std::string> calls;
    QorDialCancel cancel = nullptr;
    std::uintptr_t token = 0;
    std::string cancelAt;

    static void Open(void* context, const char* caption, QorDialCancel cancel,
                     std::uintptr_t token) {
        auto* self = static_cast<HostSink*>(context);
        std::lock_guard lock(self->mutex);
        self->calls.push_back(std::string("open ") + caption);
        self->cancel = cancel;
        self->token = token;
    }
    static void SetText(void* context, const char* text) {
        auto* self = static_cast<HostSink*>(context);
        std::unique_lock lock(self->mutex);
        self->calls.push_back(text);
        if (self->cancelAt == text) {
            lock.unlock();
            self->cancel(self->token);
        }
    }
    static void Close(void* context) {
        auto* self = static_cast<HostSink*>(context);
        std::lock_guard lock(self->mutex);
        self->calls.push_back("close");
    }
};

TEST_F(QorcomDialUpTest, AHostsOwnSinkShowsTheDialAndCancelsIt) {
    HostSink host;
    host.cancelAt = "Connecting....";
    QorDialStatusSink sink{
        QOR_DIAL_STATUS_SINK_VERSION, sizeof(QorDialStatusSink), &host, &HostSink::Open,
        &HostSink::SetText,           &HostSink::Close};
    QorDialStatusSink wrong = sink;
    wrong.version = 2;
    EXPECT_EQ(QorcomSetDialStatusSink(&wrong), 87u);
    ASSERT_EQ(QorcomSetDialStatusSink(&sink), 0u);

    auto ras = NewRas();
    EXPECT_EQ(Dial(ras.Get(), "Slow"), 2);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open Connection Status", "Opening port....",
                                                    "Connecting....", "close"}));
    host.cancel(host.token);  // late: does nothing
    EXPECT_TRUE(Connections(ras.Get()).empty());
    EXPECT_EQ(QorcomSetDialStatusSink(nullptr), 0u);
}

}  // namespace
}  // namespace tw::qorcom
