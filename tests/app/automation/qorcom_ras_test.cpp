// The dial-up object of libqorcom.so behind the poller's connector, with the simulated dial-up
// provider of the qorcom tests: registered by the library's own entry point into a private
// registry and created by ProgID, as the poller does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/automation/ras_automation.h"
#include "platform/os_services.h"
#include "platform/process.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using ::testing::ElementsAre;

constexpr const char* kPhoneBook = R"([Shop 12]
PhoneNumber = 555-0112
UserName = pos
Password = stored
States = 0,2,5,14
Result = 0
DelayMs = 1

[Busy Line]
States = 0,2
Result = 678
DelayMs = 1

[Hung]
States = 0,2
Hold = yes
DelayMs = 1
)";

class QorcomRasTest : public ::testing::Test {
protected:
    void SetUp() override {
        bool loaded = false;
        std::string error;
        void* registerServer =
            platform::LoadPinnedSymbol(QORCOM_LIBRARY, "DllRegisterServer", &loaded, &error);
        ASSERT_TRUE(registerServer) << error;
        ASSERT_EQ(reinterpret_cast<HRESULT (*)()>(registerServer)(), S_OK);
    }

    std::vector<std::string> Dials() {
        std::vector<std::string> lines;
        std::string all = test::ReadAll(dir.File("dials.log"));
        for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos;
             start = end + 1)
            lines.push_back(all.substr(start, end - start));
        return lines;
    }

    test::ScratchDir dir;
    test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", QORCOM_SIM_RAS};
    test::ScopedEnv phoneBook{"QORCOM_RAS_SIM_CONFIG", dir.Write("phonebook.ini", kPhoneBook)};
    test::ScopedEnv dialLog{"QORCOM_RAS_SIM_LOG", dir.File("dials.log")};
    test::ScopedEnv missing{"QORCOM_RAS_SIM_MISSING", std::nullopt};
    test::RecordedMessages messages;
    RasAutomationFactory factory = MakeRasAutomationFactory();
};

TEST_F(QorcomRasTest, DialsReusesAndHangsUpThroughTheLibrary) {
    {
        RasConnector first(factory());
        first.entryName = "Shop 12";
        first.password = "secret";
        ASSERT_TRUE(first.Connect()) << first.GetLastErrorText();
        {
            // A second handler of the same poll finds the line up and leaves it up.
            RasConnector second(factory());
            second.entryName = "SHOP 12";
            EXPECT_TRUE(second.Connect()) << second.GetLastErrorText();
            EXPECT_TRUE(second.Disconnect());
        }
        EXPECT_EQ(factory()->GetFirstConnection(), "Shop 12");
        EXPECT_TRUE(first.Disconnect()) << first.GetLastErrorText();
    }
    EXPECT_EQ(factory()->GetFirstConnection(), "") << "hung up";
    EXPECT_THAT(Dials(), ElementsAre("Shop 12|555-0112||pos|secret|"));

    RasConnector busy(factory());
    busy.entryName = "Busy Line";
    EXPECT_FALSE(busy.Connect());
    EXPECT_EQ(busy.GetLastErrorText(), "There was no answer.");
    EXPECT_EQ(factory()->GetResultString(869), "Unknown RAS error 869.");
    EXPECT_TRUE(messages.error.Texts().empty());
}

TEST_F(QorcomRasTest, WithoutDialUpNetworking) {
    test::ScopedEnv none{"QORCOM_RAS_PROVIDER", dir.File("libnothing.so")};
    RasConnector connector(factory());
    connector.entryName = "Shop 12";
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(),
              "Unable to connect to remote system, RAS not installed.");

    // The other members raise the library's error, reported with its code.
    try {
        factory()->GetResultString(869);
        FAIL() << "no exception";
    } catch (const DispatchException& e) {
        ReportDispatchException(errorMessages(), e);
    }
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Exception 0: RAS not found."));
}

TEST_F(QorcomRasTest, AProviderLackingAFunctionIsNamedNotCalledNotInstalled) {
    test::ScopedEnv lacking{"QORCOM_RAS_SIM_MISSING", "RasDial"};
    RasConnector connector(factory());
    connector.entryName = "Shop 12";
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(), "RasDial not found.");
}

TEST_F(QorcomRasTest, AHungDialEndsAtTheLimitWithAClearError) {
    test::ScopedEnv limit{"QORCOM_RAS_DIAL_LIMIT", "1"};
    RasConnector connector(factory());
    connector.entryName = "Hung";
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(),
              "The connection was not made within the time limit; the call was hung up.");
    EXPECT_EQ(factory()->GetFirstConnection(), "");

    // A host changes the limit through the library's exported entry point.
    bool loaded = false;
    std::string error;
    void* setLimit =
        platform::LoadPinnedSymbol(QORCOM_LIBRARY, "QorcomSetDialTimeLimit", &loaded, &error);
    ASSERT_TRUE(setLimit) << error;
    EXPECT_TRUE(
        platform::LoadPinnedSymbol(QORCOM_LIBRARY, "QorcomSetDialStatusSink", &loaded, &error))
        << error;
}

#ifdef QORCOM_PPPD_RAS
// A link pppd already holds (brought up by another program) is used as it is and left up.
TEST_F(QorcomRasTest, AnActivePppdLinkIsReusedAndNotHungUp) {
    test::ScopedEnv pppd{"QORCOM_RAS_PROVIDER", QORCOM_PPPD_RAS};
    test::ScopedEnv peers{"QORCOM_PPP_PEERS_DIR", dir.File("peers")};
    test::ScopedEnv run{"QORCOM_PPP_RUN_DIR", dir.File("run")};
    test::ScopedEnv noPppd{"PATH", dir.File("empty")};
    dir.Write("peers/Shop 12", "user pos\n");
    int error = 0;
    auto holder = platform::ChildProcess::Start({"/bin/sleep", "30"}, "", &error);
    ASSERT_TRUE(holder);
    dir.Write("run/ppp-Shop 12.pid", std::to_string(holder->Pid()) + "\nppp0\n");

    RasConnector connector(factory());
    connector.entryName = "SHOP 12";
    ASSERT_TRUE(connector.Connect()) << connector.GetLastErrorText();
    EXPECT_TRUE(connector.Disconnect());
    EXPECT_EQ(factory()->GetFirstConnection(), "Shop 12") << "still up";
    EXPECT_FALSE(holder->Wait(std::chrono::milliseconds(200)).Succeeded()) << "still running";
}
#endif

TEST_F(QorcomRasTest, TheSettingsDialogListsThePhoneBook) {
    DispatchDialUpDirectory directory;
    const auto listing = directory.ListEntries();
    EXPECT_TRUE(listing.available);
    EXPECT_THAT(listing.entries, ElementsAre("Shop 12", "Busy Line", "Hung"));
    EXPECT_TRUE(messages.error.Texts().empty());

    // Not installed: nothing to offer, nothing to report.
    test::ScopedEnv none{"QORCOM_RAS_PROVIDER", dir.File("libnothing.so")};
    const auto without = directory.ListEntries();
    EXPECT_FALSE(without.available);
    EXPECT_TRUE(without.entries.empty());
    EXPECT_TRUE(messages.error.Texts().empty());
}

}  // namespace
}  // namespace tw
