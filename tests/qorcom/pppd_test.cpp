// The pppd dial-up provider through the dial-up component, with a fake pppd on PATH.

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "qorcom/remote/dial_status.h"
#include "qorcom/remote/pppd/pppd_rules.h"
#include "qorcom/remote/ras.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;

class TextsWindow final : public DialStatusWindow {
public:
    void Open(const std::string&, std::function<void()>) override {}
    void SetText(const std::string& text) override {
        std::lock_guard lock(mutex);
        texts.push_back(text);
    }
    void Close() override {}
    std::mutex mutex;
    std::vector<std::string> texts;
};

std::string PathWithFakePppd() {
    const char* path = std::getenv("PATH");
    return std::string(FAKE_PPPD_DIR) + ":" + (path ? path : "/usr/bin:/bin");
}

class QorcomPppdTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.File("peers"));
        std::filesystem::create_directories(dir.File("run"));
        std::filesystem::create_directories(dir.File("tmp"));
        Peer("Shop 12", "user pos\nconnect \"/usr/sbin/chat -v -f /etc/chatscripts/shop\"\n");
        Peer("Hung", "# fake: hold\n");
        Peer(".hidden", "");
        Peer("Shop 12~", "");
        SetDialStatusWindowFactory([this] { return window; });
    }
    void TearDown() override {
        SetDialStatusWindowFactory(nullptr);
        SetDialTimeLimit(std::chrono::milliseconds(0));
        // A link a failed test left up: end its stand-in.
        for (const auto& file : std::filesystem::directory_iterator(dir.File("run"))) {
            std::ifstream in(file.path());
            pid_t pid = 0;
            if (in >> pid && pid > 0)
                kill(pid, SIGTERM);
        }
    }
    void Peer(const std::string& name, const std::string& text) {
        dir.Write("peers/" + name, text);
    }
    ComPtr<IQORRas> NewRas() { return test::Create<IQORRas>(CLSID_QORRas, IID_IQORRas); }
    static LONG Dial(IQORRas* ras, const std::string& entry, const std::string& user = "",
                     const std::string& password = "") {
        LONG result = -1;
        EXPECT_EQ(
            ras->Dial(Bstr::FromUtf8(entry).Get(), nullptr, nullptr, Bstr::FromUtf8(user).Get(),
                      Bstr::FromUtf8(password).Get(), nullptr, &result),
            S_OK);
        return result;
    }
    static std::vector<std::string> Walk(IQORRas* ras, bool entries) {
        std::vector<std::string> names;
        Bstr name;
        LONG result = -1;
        EXPECT_EQ(entries ? ras->GetFirstEntry(name.Put(), &result)
                          : ras->GetFirstConnection(name.Put(), &result),
                  S_OK);
        EXPECT_EQ(result, 0);
        while (!name.Utf8().empty()) {
            names.push_back(name.Utf8());
            entries ? ras->GetNextEntry(name.Put(), &result)
                    : ras->GetNextConnection(name.Put(), &result);
        }
        return names;
    }
    static std::string ResultString(IQORRas* ras, LONG result) {
        Bstr text;
        EXPECT_EQ(ras->GetResultString(result, text.Put()), S_OK);
        return text.Utf8();
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", QORCOM_PPPD_RAS};
    tw::test::ScopedEnv peers{"QORCOM_PPP_PEERS_DIR", dir.File("peers")};
    tw::test::ScopedEnv run{"QORCOM_PPP_RUN_DIR", dir.File("run")};
    tw::test::ScopedEnv tmp{"TMPDIR", dir.File("tmp")};
    tw::test::ScopedEnv log{"FAKE_PPPD_LOG", dir.File("pppd.log")};
    tw::test::ScopedEnv path{"PATH", PathWithFakePppd()};
    std::shared_ptr<TextsWindow> window = std::make_shared<TextsWindow>();
};

TEST_F(QorcomPppdTest, PeersAreThePhoneBookAndALinkComesUpAndIsHungUp) {
    auto ras = NewRas();
    EXPECT_EQ(Walk(ras.Get(), true), (std::vector<std::string>{"Hung", "Shop 12"}));
    EXPECT_TRUE(Walk(ras.Get(), false).empty());

    ASSERT_EQ(Dial(ras.Get(), "Shop 12"), 0) << tw::test::ReadAll(dir.File("pppd.log"));
    EXPECT_EQ(window->texts, (std::vector<std::string>{"Opening port....", "Connecting....",
                                                       "Authenticating....", "Authenticated."}));
    VARIANT_BOOL connected = 0;
    ras->get_Connected(&connected);
    EXPECT_EQ(connected, VARIANT_TRUE);
    EXPECT_EQ(Walk(NewRas().Get(), false), std::vector<std::string>{"Shop 12"});
    EXPECT_EQ(tw::test::ReadAll(dir.File("pppd.log")),
              "argv: file " + dir.File("peers") + "/Shop 12 linkname Shop 12 updetach logfd 1\n")
        << "no options file without a user name or password";

    LONG result = -1;
    EXPECT_EQ(ras->HangUp(&result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Walk(ras.Get(), false).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("run/ppp-Shop 12.pid")));
}

TEST_F(QorcomPppdTest, EachExitCodeOfPppdFailsTheDialWithItsError) {
    const std::pair<int, LONG> cases[] = {{1, 651},  {2, 622},  {3, 633},  {4, 657},
                                          {6, 633},  {7, 657},  {8, 678},  {10, 734},
                                          {11, 645}, {16, 629}, {17, 737}, {19, 691}};
    auto ras = NewRas();
    for (const auto& [code, error] : cases) {
        SCOPED_TRACE(code);
        Peer("Fail", "# fake: exit " + std::to_string(code) + "\n");
        EXPECT_EQ(Dial(ras.Get(), "Fail"), error);
        EXPECT_NE(ResultString(ras.Get(), error).rfind("Unknown", 0), 0u);
    }
    EXPECT_EQ(ResultString(ras.Get(), 678), "There was no answer.");
    EXPECT_EQ(Dial(ras.Get(), "Nowhere"), 623);
    EXPECT_EQ(Dial(ras.Get(), "../Shop 12"), 623) << "entries are names, never paths";
    EXPECT_TRUE(Walk(ras.Get(), false).empty());
    {
        tw::test::ScopedEnv noPppd("PATH", dir.File("tmp"));
        EXPECT_EQ(Dial(ras.Get(), "Shop 12"), 633);
    }
}

TEST_F(QorcomPppdTest, CredentialsTravelInAPrivateFileAndAHungDialEndsAtTheLimit) {
    SetDialTimeLimit(std::chrono::milliseconds(500));
    auto ras = NewRas();
    EXPECT_EQ(Dial(ras.Get(), "Hung", "clerk", "pa\"ss word"), QOR_DIAL_TIMED_OUT);
    const std::string log = tw::test::ReadAll(dir.File("pppd.log"));
    const auto options = log.find("options 600: user \"clerk\"|password \"pa\\\"ss word\"|\n");
    ASSERT_NE(options, std::string::npos) << log;
    EXPECT_GT(log.find("word"), options) << "the password is not on the command line";
    EXPECT_EQ(log.find("argv: file " + dir.File("peers") + "/Hung file " + dir.File("tmp") +
                       "/qorcom-ppp-"),
              0u)
        << log;
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp"))) << "the options file is removed";
    EXPECT_TRUE(Walk(ras.Get(), false).empty());
    VARIANT_BOOL disconnected = 0;
    ras->get_Disconnected(&disconnected);
    EXPECT_EQ(disconnected, VARIANT_TRUE);
    EXPECT_EQ(Dial(ras.Get(), "Hung", "clerk", "two\nlines"), 87);
}

TEST(QorcomPppdRules, ArgumentsAndOptionQuoting) {
    EXPECT_EQ(pppd::DialArguments("/etc/ppp/peers/", "shop", ""),
              (std::vector<std::string>{"pppd", "call", "shop", "linkname", "shop", "updetach",
                                        "logfd", "1"}));
    EXPECT_EQ(pppd::DialArguments("/srv/peers", "shop", "/tmp/o"),
              (std::vector<std::string>{"pppd", "file", "/srv/peers/shop", "file", "/tmp/o",
                                        "linkname", "shop", "updetach", "logfd", "1"}));
    EXPECT_EQ(pppd::QuoteOption("a\\b\"c"), "\"a\\\\b\\\"c\"");
    EXPECT_EQ(pppd::QuoteOption("a\rb"), std::nullopt);
    for (const char* name : {".x", "shop~", "shop.bak", "shop.dpkg-old", ""})
        EXPECT_FALSE(pppd::IsEntryFileName(name)) << name;
    EXPECT_TRUE(pppd::IsEntryFileName("Shop 12"));
}

}  // namespace
}  // namespace tw::qorcom
