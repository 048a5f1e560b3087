#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "app/automation/automation_objects.h"
#include "comlite/bstr.h"
#include "fake_registry.h"

namespace tw {
namespace {

using test::RecordedCall;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Text(const VARIANT& v) {
    return v.vt == VT_BSTR ? comlite::BstrToUtf8(v.bstrVal) : "?";
}

class AutomationObjectsTest : public test::FakeServerTest {
protected:
    void SetUp() override {
        FakeServerTest::SetUp();
        Register("QORPost.Station", test::CLSID_FakeStation);
        Register("QORPost.Inventory", test::CLSID_FakeInventory);
    }

    std::vector<RecordedCall> CallsOf(const std::string& object) {
        std::vector<RecordedCall> calls;
        for (RecordedCall& call : test::FakeServer().Calls())
            if (call.object == object)
                calls.push_back(std::move(call));
        return calls;
    }
};

TEST_F(AutomationObjectsTest, OpenStationSetsTheClientVersionAndOpensWithPathAndShortSite) {
    DispatchDriver station = OpenStation(12, "/srv/qor/");
    ASSERT_TRUE(station);
    auto calls = CallsOf("Station");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].member, 0x60020000);
    EXPECT_EQ(calls[0].flags, DISPATCH_PROPERTYPUT);
    EXPECT_THAT(calls[0].types, ElementsAre(VT_I4));
    EXPECT_THAT(calls[0].named, ElementsAre(DISPID_PROPERTYPUT));
    EXPECT_EQ(calls[0].values[0].lVal, 1537);
    EXPECT_EQ(calls[1].member, 0x60020001);
    EXPECT_EQ(calls[1].flags, DISPATCH_METHOD);
    EXPECT_THAT(calls[1].types, ElementsAre(VT_BSTR, VT_I2));
    EXPECT_TRUE(calls[1].named.empty());
    EXPECT_EQ(Text(calls[1].values[0]), "/srv/qor/QORSETUP.MDB");
    EXPECT_EQ(calls[1].values[1].iVal, 12);

    // A directory stored without its trailing separator still names the file inside it; one
    // in Windows form is passed on as it is, for the posting server to resolve.
    test::FakeServer().Reset();
    ASSERT_TRUE(OpenStation(3, "/srv/qor"));
    ASSERT_TRUE(OpenStation(3, "C:\\QOR\\"));
    calls = CallsOf("Station");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(Text(calls[1].values[0]), "/srv/qor/QORSETUP.MDB");
    EXPECT_EQ(Text(calls[3].values[0]), "C:\\QOR\\QORSETUP.MDB");
    EXPECT_TRUE(messages.error.Texts().empty());
}

TEST_F(AutomationObjectsTest, OpenInventorySetsVersionAndOptionThenOpensOnTheStation) {
    DispatchDriver station = OpenStation(1, "/srv/qor/");
    ASSERT_TRUE(station);
    for (bool option : {false, true}) {
        test::FakeServer().Reset();
        DispatchDriver inventory = OpenInventory(station, option);
        ASSERT_TRUE(inventory);
        const auto calls = CallsOf("Inventory");
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0].member, 0x60020000);
        EXPECT_EQ(calls[0].flags, DISPATCH_PROPERTYPUT);
        EXPECT_THAT(calls[0].types, ElementsAre(VT_I4));
        EXPECT_EQ(calls[0].values[0].lVal, 1537);
        EXPECT_EQ(calls[1].member, 0x60030007);
        EXPECT_EQ(calls[1].flags, DISPATCH_PROPERTYPUT);
        EXPECT_THAT(calls[1].types, ElementsAre(VT_BOOL));
        EXPECT_EQ(calls[1].values[0].boolVal, option ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(calls[2].member, 0x60020001);
        EXPECT_EQ(calls[2].flags, DISPATCH_METHOD);
        EXPECT_THAT(calls[2].types, ElementsAre(VT_DISPATCH));
        EXPECT_EQ(calls[2].objects[0], station.Get());
    }
    test::FakeServer().Reset();
    EXPECT_FALSE(OpenInventory(DispatchDriver(), false));
    EXPECT_TRUE(test::FakeServer().Calls().empty());
}

TEST_F(AutomationObjectsTest, ReadsEveryItemFromFirstToLastAcceptingCompatibleTypes) {
    using Record = std::map<std::string, comlite::Variant>;
    comlite::Variant null;
    null.vt = VT_NULL;
    std::vector<Record> records = {
        {{"active", comlite::Variant::Bool(true)},
         {"UPC_code", comlite::Variant::Text(u"01234567890")},
         {"UPC_pack_size", comlite::Variant::I4(1)},
         {"description", comlite::Variant::Text(u"Cola")},
         {"id", comlite::Variant::Text(u"123")},
         {"pack_size", comlite::Variant::I4(6)}},
        // Another server may answer with other automation types.
        {{"active", comlite::Variant::I4(0)},
         {"UPC_code", null},
         {"UPC_pack_size", comlite::Variant::Text(u"12")},
         {"description", comlite::Variant::Text(u"Crème brûlée")},
         {"id", comlite::Variant::I4(77)},
         {"pack_size", null}},
    };
    std::size_t position = 0;
    std::vector<std::vector<VARTYPE>> fieldCallTypes;
    test::FakeServer().handler = [&](const RecordedCall& call, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*) -> HRESULT {
        if (call.object != "Inventory" || call.flags != DISPATCH_METHOD)
            return S_OK;
        if (call.member == 0x60020004 || call.member == 0x60020005) {
            position = call.member == 0x60020004 ? 0 : position + 1;
            *result = comlite::Variant::Bool(position < records.size()).Detach();
        } else if (call.member == 0x60020007) {
            fieldCallTypes.push_back(call.types);
            const std::string name = Text(call.values[0]);
            VariantCopy(params->rgvarg[0].pvarVal, &records.at(position).at(name));
        }
        return S_OK;
    };
    DispatchDriver station = OpenStation(1, "/srv/qor/");
    const auto items = ReadBackOfficeItems(station);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2u);
    const BackOfficeItem& cola = (*items)[0];
    EXPECT_TRUE(cola.active);
    EXPECT_EQ(cola.upcCode, "01234567890");
    EXPECT_EQ(cola.upcPackSize, 1);
    EXPECT_EQ(cola.description, "Cola");
    EXPECT_EQ(cola.id, "123");
    EXPECT_EQ(cola.packSize, 6);
    const BackOfficeItem& other = (*items)[1];
    EXPECT_FALSE(other.active);
    EXPECT_EQ(other.upcCode, "");
    EXPECT_EQ(other.upcPackSize, 12);
    EXPECT_EQ(other.description, "Crème brûlée");
    EXPECT_EQ(other.id, "77");
    EXPECT_EQ(other.packSize, 0);
    ASSERT_EQ(fieldCallTypes.size(), 12u);
    EXPECT_THAT(fieldCallTypes[0], ElementsAre(VT_BSTR, VT_BYREF | VT_VARIANT));

    // The inventory was opened with its option off.
    for (const RecordedCall& call : CallsOf("Inventory")) {
        if (call.member == 0x60030007) {
            EXPECT_EQ(call.values[0].boolVal, VARIANT_FALSE);
        }
    }
    EXPECT_TRUE(messages.error.Texts().empty());
}

TEST_F(AutomationObjectsTest, StationFailuresAreReportedAndLeaveNothingOpen) {
    // Not registered: the station's own message only.
    Register("QORPost.Station", test::CLSID_FakeBroken);
    EXPECT_FALSE(OpenStation(1, "/srv/qor/"));
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Unable to open QOR posting destination."));

    // The server raises an automation error on Open: reported with its code, and the station
    // is released rather than handed out half open.
    Register("QORPost.Station", test::CLSID_FakeStation);
    messages.error.Clear();
    test::FakeServer().handler = [](const RecordedCall& call, DISPPARAMS*, VARIANT*,
                                    EXCEPINFO* info) {
        if (call.member != 0x60020001)
            return S_OK;
        return test::RaiseFakeException(info, static_cast<SCODE>(0x80040001),
                                        u"Cannot open the back-office database.");
    };
    EXPECT_FALSE(OpenStation(1, "/srv/qor/"));
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Exception 1: Cannot open the back-office database."));
    EXPECT_EQ(LiveObjects(), 0);

    // A call the server does not know: a failure of the call, not an automation exception.
    messages.error.Clear();
    test::FakeServer().handler = [](const RecordedCall&, DISPPARAMS*, VARIANT*, EXCEPINFO*) {
        return DISP_E_MEMBERNOTFOUND;
    };
    EXPECT_FALSE(OpenStation(1, "/srv/qor/"));
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Exception: Member not found."));
    EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(AutomationObjectsTest, InventoryFailures) {
    DispatchDriver station = OpenStation(1, "/srv/qor/");
    ASSERT_TRUE(station);

    // Creation failing is "no back-office items", without a report.
    Register("QORPost.Inventory", test::CLSID_FakeBroken);
    EXPECT_FALSE(OpenInventory(station, false));
    EXPECT_FALSE(ReadBackOfficeItems(station).has_value());
    EXPECT_TRUE(messages.error.Texts().empty());

    // A read failing half way gives no list at all (never a partial one), and is reported.
    Register("QORPost.Inventory", test::CLSID_FakeInventory);
    test::FakeServer().handler = [](const RecordedCall& call, DISPPARAMS*, VARIANT* result,
                                    EXCEPINFO* info) {
        if (call.member == 0x60020004)
            *result = comlite::Variant::Bool(true).Detach();
        if (call.member == 0x60020007 && Text(call.values[0]) == "description")
            return test::RaiseFakeException(info, static_cast<SCODE>(0x80040003),
                                            u"There is no current record.");
        return S_OK;
    };
    EXPECT_FALSE(ReadBackOfficeItems(station).has_value());
    EXPECT_THAT(messages.error.Texts(), ElementsAre("Exception 3: There is no current record."));
    station.Release();
    EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(AutomationObjectsTest, CreateObjectReportsWhyAnObjectCannotBeMade) {
    EXPECT_FALSE(CreateObject("QORPost.Missing"));
    auto texts = messages.error.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "Unable to create object QORPost.Missing.  Make sure libqorcom.so is installed and "
              "registered with qorregsvr.");
    EXPECT_THAT(
        texts[1],
        StartsWith("Exception: Invalid class string: ProgID QORPost.Missing is not registered"));

    messages.error.Clear();
    Register("QORPost.Broken", test::CLSID_FakeBroken);
    EXPECT_FALSE(CreateObject("QORPost.Broken"));
    texts = messages.error.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_THAT(texts[1], StartsWith("Exception: Not enough memory"));

    messages.error.Clear();
    EXPECT_TRUE(CreateObject("QORPost.Station"));
    EXPECT_TRUE(messages.error.Texts().empty());
}

// An EXCEPINFO's deferred fill-in, for the test below.
HRESULT STDMETHODCALLTYPE FillLater(EXCEPINFO* info) {
    info->scode = static_cast<SCODE>(0x8004201E);
    info->bstrDescription = comlite::AllocBstr(u"Filled in later.");
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
}

TEST(DispatchExceptionTest, ExcepInfoBecomesTheReportedException) {
    test::RecordedMessages messages;
    auto report = [&](EXCEPINFO info) {
        ReportDispatchException(errorMessages(), TakeDispatchException(info));
        EXPECT_EQ(info.bstrDescription, nullptr);
        EXPECT_EQ(info.bstrSource, nullptr);
    };
    EXCEPINFO info{};
    info.scode = static_cast<SCODE>(0x80040000);
    info.bstrSource = comlite::AllocBstr(u"QORCom.Ras");
    info.bstrDescription = comlite::AllocBstr(u"RAS not found.");
    report(info);

    info = EXCEPINFO{};
    info.wCode = 0x1234;  // an object that sets only the 16-bit code
    info.bstrDescription = comlite::AllocBstr(u"Old style.");
    report(info);

    info = EXCEPINFO{};
    info.scode = DISP_E_OVERFLOW;  // no description: the code's text stands in
    report(info);

    info = EXCEPINFO{};
    info.pfnDeferredFillIn = &FillLater;
    report(info);

    EXPECT_THAT(
        messages.error.Texts(),
        ElementsAre("Exception 0: RAS not found.", "Exception 1234: Old style.",
                    "Exception a: Out of present range.", "Exception 201e: Filled in later."));
}

TEST(DispatchDriverTest, AnEmptyDriverThrowsInsteadOfCrashing) {
    DispatchDriver empty;
    EXPECT_THROW(empty.GetProperty(0x60020000), ComError);
    EXPECT_THROW(empty.GetIdOfName("Open"), ComError);
}

}  // namespace
}  // namespace tw
