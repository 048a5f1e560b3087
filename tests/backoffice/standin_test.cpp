// The stand-in as Tidewell meets it: registered by its own entry point into a private
// registry, created by ProgID through comlite, called through Tidewell's automation objects.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/automation/automation_objects.h"
#include "backoffice/import_command.h"
#include "comlite/registry.h"
#include "platform/os_services.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kStationClsid = "{5C3E2A20-7B4D-4F6A-9E21-3D8C0B7A1F01}";
constexpr const char* kInventoryClsid = "{5C3E2A21-7B4D-4F6A-9E21-3D8C0B7A1F01}";

HRESULT CallEntryPoint(const char* name) {
    bool loaded = false;
    std::string error;
    void* symbol = platform::LoadPinnedSymbol(STANDIN_SERVER, name, &loaded, &error);
    if (!symbol) {
        ADD_FAILURE() << error;
        return E_FAIL;
    }
    return reinterpret_cast<HRESULT (*)()>(symbol)();
}

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CallEntryPoint("DllRegisterServer"), S_OK); }

    // Loads items into the back-office directory as the import command does.
    void Import(const std::string& csv, bool replace = false) {
        const std::string file = dir.Write("items.csv", csv);
        std::vector<std::string> args = {backOffice, file};
        if (replace)
            args.insert(args.begin(), "--replace");
        std::ostringstream out, err;
        ASSERT_EQ(backoffice::RunItemImport(args, out, err), 0) << err.str();
    }

    test::ScratchDir dir;
    test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::RecordedMessages messages;
    std::string backOffice = MakeBackOfficeDirectory();

private:
    std::string MakeBackOfficeDirectory() {
        dir.Write("qor/.keep", "");
        return dir.File("qor") + "/";
    }
};

TEST_F(StandInTest, RegistersBothClassesAndUnregistersOnlyItsOwnNames) {
    std::string error;
    auto tree = comlite::RegistryFile().Load(&error);
    ASSERT_TRUE(tree) << error;
    for (const auto& [progId, clsid] : {std::pair{"QORPost.Station", kStationClsid},
                                        std::pair{"QORPost.Inventory", kInventoryClsid}}) {
        const std::string classKey = std::string("HKCR\\CLSID\\") + clsid;
        EXPECT_EQ(tree->GetString(std::string("HKCR\\") + progId + "\\CLSID"), clsid);
        EXPECT_EQ(tree->GetString(std::string("HKCR\\") + progId + "\\CurVer"),
                  std::string(progId) + ".1");
        EXPECT_EQ(tree->GetString(std::string("HKCR\\") + progId + ".1\\CLSID"), clsid);
        EXPECT_EQ(tree->GetString(classKey + "\\InprocServer32"), STANDIN_SERVER);
        EXPECT_EQ(tree->GetString(classKey + "\\VersionIndependentProgID"), progId);
    }

    // The real posting server took over "QORPost.Inventory" since: it keeps it.
    ASSERT_TRUE(comlite::RegistryFile().Update([](comlite::RegistryTree& t) {
        return t.SetValue("HKCR\\QORPost.Inventory\\CLSID", "",
                          std::string("{11111111-2222-3333-4444-555555555555}"));
    }));
    ASSERT_EQ(CallEntryPoint("DllUnregisterServer"), S_OK);
    tree = comlite::RegistryFile().Load(&error);
    ASSERT_TRUE(tree) << error;
    EXPECT_FALSE(tree->KeyExists("HKCR\\QORPost.Station"));
    EXPECT_FALSE(tree->KeyExists("HKCR\\QORPost.Station.1"));
    EXPECT_FALSE(tree->KeyExists(std::string("HKCR\\CLSID\\") + kStationClsid));
    EXPECT_FALSE(tree->KeyExists(std::string("HKCR\\CLSID\\") + kInventoryClsid));
    EXPECT_EQ(tree->GetString("HKCR\\QORPost.Inventory\\CLSID"),
              "{11111111-2222-3333-4444-555555555555}");
}

TEST_F(StandInTest, TheItemEditorReadsTheImportedItemsThroughTidewellsObjects) {
    Import(
        "id,UPC_code,UPC_pack_size,description,pack_size,active\n"
        "123,,1,Gum,1,1\n"
        "4711,01234567890,1,Cola,6,true\n"
        "800,,1,Discontinued,1,false\n");
    DispatchDriver station = OpenStation(5, backOffice);
    ASSERT_TRUE(station) << testing::PrintToString(messages.error.Texts());
    EXPECT_EQ(ResultAsLong(station.GetProperty(station.GetIdOfName("SiteNumber"))), 5);
    EXPECT_EQ(ResultAsText(station.GetProperty(station.GetIdOfName("DatabasePath"))),
              backOffice + "qorpost.sqlite");

    auto items = ReadBackOfficeItems(station);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 3u);
    const BackOfficeItem& cola = (*items)[1];
    EXPECT_TRUE(cola.active);
    EXPECT_EQ(cola.upcCode, "01234567890");
    EXPECT_EQ(cola.upcPackSize, 1);
    EXPECT_EQ(cola.description, "Cola");
    EXPECT_EQ(cola.id, "4711");
    EXPECT_EQ(cola.packSize, 6);
    EXPECT_FALSE((*items)[2].active);

    // With the option on, the walk skips inactive items; a new import shows on the next walk.
    Import("id,description\n900,Mints\n");
    DispatchDriver opened = OpenInventory(station, true);
    ASSERT_TRUE(opened);
    BackOfficeInventory inventory(opened);
    std::vector<std::string> ids;
    for (bool more = inventory.MoveFirst(); more; more = inventory.MoveNext())
        ids.push_back(ResultAsText(inventory.Field("ID")));
    EXPECT_THAT(ids, ElementsAre("123", "4711", "900"));
    EXPECT_FALSE(inventory.MoveNext()) << "stays past the end";
    EXPECT_TRUE(messages.error.Texts().empty());
}

TEST_F(StandInTest, MembersAnswerByNameAndRecordAccessorsFollowTheWalk) {
    Import("id,description,pack_size\n1,Cola,6\n2,Gum,1\n");
    DispatchDriver station = OpenStation(1, backOffice);
    DispatchDriver inventory = OpenInventory(station, false);
    ASSERT_TRUE(inventory);
    const std::pair<const char*, DISPID> names[] = {
        {"ClientVersion", 0x60020000}, {"Open", 0x60020001},     {"MoveFirst", 0x60020004},
        {"MoveNext", 0x60020005},      {"GetField", 0x60020007}, {"description", 0x60030003},
        {"activeonly", 0x60030007},
    };
    for (const auto& [name, id] : names) EXPECT_EQ(inventory.GetIdOfName(name), id) << name;
    EXPECT_EQ(ResultAsLong(inventory.GetProperty(0x60020000)), 1537);
    EXPECT_EQ(ResultAsLong(station.GetProperty(0x60020000)), 1537);
    EXPECT_EQ(ResultAsLong(inventory.GetProperty(0x60020003)), 2) << "RecordCount";

    BackOfficeInventory walk(inventory);
    ASSERT_TRUE(walk.MoveFirst());
    EXPECT_EQ(ResultAsText(inventory.GetProperty(0x60030003)), "Cola");
    EXPECT_EQ(ResultAsLong(inventory.GetProperty(0x60030004)), 6);
    ASSERT_TRUE(walk.MoveNext());
    EXPECT_EQ(ResultAsText(inventory.GetProperty(0x60030000)), "2");
    EXPECT_FALSE(walk.MoveNext());
    EXPECT_TRUE(ResultAsBool(inventory.GetProperty(0x60020006))) << "AtEnd";

    // Past the end, and for a field it does not have, the inventory raises an error.
    try {
        walk.Field("id");
        FAIL() << "no error past the end";
    } catch (const DispatchException& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode()), 0x80040003u);
        EXPECT_STREQ(e.what(), "There is no current record.");
    }
    ASSERT_TRUE(walk.MoveFirst());
    try {
        walk.Field("price");
        FAIL() << "no error for an unknown field";
    } catch (const DispatchException& e) {
        EXPECT_STREQ(e.what(), "Unknown field price.");
    }
}

TEST_F(StandInTest, OpeningFailuresAreReportedAsAutomationExceptions) {
    // No database imported yet.
    EXPECT_FALSE(OpenStation(1, backOffice));
    // A drive letter cannot be resolved here; a UNC path is not local.
    EXPECT_FALSE(OpenStation(1, "C:\\QOR\\"));
    EXPECT_FALSE(OpenStation(1, "\\\\backoffice\\qor\\"));
    Import("id\n1\n");
    EXPECT_FALSE(OpenStation(0, backOffice));
    const auto texts = messages.error.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Exception 1: Cannot open the back-office database " + backOffice +
                            "qorpost.sqlite: unable to open database file.");
    EXPECT_THAT(texts[1], HasSubstr("C:\\QOR\\QORSETUP.MDB"));
    EXPECT_THAT(texts[1], HasSubstr("PATHMAP"));
    EXPECT_THAT(texts[2], HasSubstr("is not mapped to a mounted share."));
    EXPECT_EQ(texts[3], "Exception 5: Site number 0 is not valid.");

    // A backslash form of a local path is read with '/' separators.
    std::string windowsForm = backOffice;
    for (char& c : windowsForm)
        if (c == '/')
            c = '\\';
    EXPECT_TRUE(OpenStation(1, windowsForm));
}

// The back-office directory is stored as the site was set up, often in Windows form: the
// stand-in resolves it through the program directory's PATHMAP as Tidewell resolves its own.
TEST_F(StandInTest, AWindowsFormDirectoryIsResolvedThroughThePathMap) {
    Import("id,description\n123,Gum\n");
    test::ScopedEnv home{"TIDEWELL_HOME", dir.Path()};
    dir.Write("PATHMAP", "Q: = " + dir.Path() + "\n");
    DispatchDriver station = OpenStation(1, "q:\\qor\\");
    ASSERT_TRUE(station) << testing::PrintToString(messages.error.Texts());
    EXPECT_EQ(ResultAsText(station.GetProperty(station.GetIdOfName("DatabasePath"))),
              backOffice + "qorpost.sqlite");
    auto items = ReadBackOfficeItems(station);
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(items->size(), 1u);
    EXPECT_FALSE(OpenStation(1, "R:\\qor\\")) << "an unmapped drive stays an error";
}

}  // namespace
}  // namespace tw
