#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/automation/automation_objects.h"
#include "app/automation/ras_automation.h"
#include "fake_registry.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class RasAutomationTest : public test::FakeServerTest {
protected:
    void SetUp() override {
        FakeServerTest::SetUp();
        Register("QORPost.Ras", test::CLSID_FakeRas);
    }
    test::FakeRasState& Ras() { return test::FakeServer().ras; }

    RasAutomationFactory factory = MakeRasAutomationFactory();
};

TEST_F(RasAutomationTest, CallsEachMemberWithTheDialUpInterfacesIdsAndKinds) {
    CountedPtr<RasAutomation> ras = factory();
    ASSERT_TRUE(ras);
    Ras().connections = {"Office", "POS Line"};
    Ras().dialResult = 691;

    EXPECT_TRUE(ras->Installed());
    EXPECT_EQ(ras->GetFirstConnection(), "Office");
    EXPECT_EQ(ras->GetNextConnection(), "POS Line");
    EXPECT_EQ(ras->GetNextConnection(), "");
    EXPECT_EQ(ras->Dial("POS Line", "555-0100", "", "poller", "sécret", "SHOP"), 691);
    EXPECT_EQ(ras->HangUp(), 0);
    EXPECT_EQ(ras->GetResultString(691), "RAS error 691.");
    EXPECT_THAT(Ras().dialled, ElementsAre("POS Line|555-0100||poller|sécret|SHOP"));

    const auto calls = test::FakeServer().Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].member, 0x60020000);
    EXPECT_EQ(calls[0].flags, DISPATCH_PROPERTYGET);
    EXPECT_TRUE(calls[0].types.empty());
    EXPECT_EQ(calls[1].member, 0x60020003);
    EXPECT_THAT(calls[1].types, ElementsAre(VT_BYREF | VT_BSTR));
    EXPECT_EQ(calls[2].member, 0x60020004);
    EXPECT_THAT(calls[2].types, ElementsAre(VT_BYREF | VT_BSTR));
    EXPECT_EQ(calls[4].member, 0x60020005);
    EXPECT_THAT(calls[4].types, ElementsAre(VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR));
    EXPECT_EQ(calls[5].member, 0x60020006);
    EXPECT_TRUE(calls[5].types.empty());
    EXPECT_EQ(calls[6].member, 0x6002000b);
    EXPECT_THAT(calls[6].types, ElementsAre(VT_I4));
    for (const auto& call : calls) {
        if (call.member != 0x60020000) {
            EXPECT_EQ(call.flags, DISPATCH_METHOD);
        }
    }
}

TEST_F(RasAutomationTest, DrivesTheConnectorOverTheObject) {
    // An active connection of the entry is reused and left up.
    Ras().connections = {"pos line"};
    {
        RasConnector connector(factory());
        connector.entryName = "POS Line";
        EXPECT_TRUE(connector.Connect());
        EXPECT_TRUE(connector.Disconnect());
    }
    EXPECT_TRUE(Ras().dialled.empty());
    for (const auto& call : test::FakeServer().Calls()) {
        EXPECT_NE(call.member, 0x60020006) << "hung up";
    }

    // A failed dial leaves the object's text for the result.
    Ras().connections.clear();
    Ras().dialResult = 678;
    RasConnector connector(factory());
    connector.entryName = "POS Line";
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(), "RAS error 678.");

    // Without dial-up networking, the object's own error reaches the connector's text.
    Ras().raiseText = "RAS not found.";
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(), "RAS not found.");
    Ras().raiseText.clear();
    Ras().installed = false;
    EXPECT_FALSE(connector.Connect());
    EXPECT_EQ(connector.GetLastErrorText(),
              "Unable to connect to remote system, RAS not installed.");
    EXPECT_TRUE(messages.error.Texts().empty());
}

TEST_F(RasAutomationTest, RaisedErrorsArriveAsDispatchExceptionsWithTheirCode) {
    CountedPtr<RasAutomation> ras = factory();
    Ras().raiseText = "RAS not found.";
    try {
        ras->Installed();
        FAIL() << "no exception";
    } catch (const DispatchException& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode()), 0x80040000u);
        EXPECT_STREQ(e.what(), "RAS not found.");
    }
}

TEST_F(RasAutomationTest, AMissingServerIsReportedOnceAndGivesNoObject) {
    Register("QORPost.Ras", test::CLSID_FakeBroken);
    EXPECT_FALSE(factory());
    const auto texts = messages.error.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "Unable to create object QORPost.Ras.  Make sure libqorcom.so is installed and "
              "registered with qorregsvr.");
    EXPECT_THAT(texts[1], StartsWith("Exception: "));
    // The connector built over nothing fails quietly: the creation was the report.
    RasConnector connector{CountedPtr<RasAutomation>()};
    EXPECT_FALSE(connector.Connect());
}

TEST_F(RasAutomationTest, MembersCanBeFoundByName) {
    DispatchDriver ras = CreateObject("QORPost.Ras");
    ASSERT_TRUE(ras);
    EXPECT_EQ(ras.GetIdOfName("dial"), 0x60020005);
    EXPECT_EQ(ras.GetIdOfName("GetResultString"), 0x6002000b);
    try {
        ras.GetIdOfName("Redial");
        FAIL() << "no exception";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Result(), DISP_E_UNKNOWNNAME);
        EXPECT_STREQ(e.what(), "Unknown name.");
    }
}

TEST_F(RasAutomationTest, AFailureWhileListingEntriesIsReportedWithTheObjectsText) {
    DispatchDialUpDirectory directory;
    Ras().raiseText = "The phone book is locked.";
    const auto listing = directory.ListEntries();
    EXPECT_FALSE(listing.available);
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_THAT(messages.error.Texts(), ElementsAre("The phone book is locked."));
}

}  // namespace
}  // namespace tw
