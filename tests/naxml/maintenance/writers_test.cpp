#include "naxml/maintenance/maintenance_writers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "naxml/maintenance/packed_cell.h"
#include "xpath_query.h"

namespace tw::naxml {
namespace {

using test::ChildNames;
using test::Query;
using test::Reparsed;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

MaintenanceSite Site() {
    return MaintenanceSite{7, std::string(kProgramNameAndVersion), "/unused"};
}

const std::string kNamespacedRoot =
    "<NAXML-MaintenanceRequest xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16 "
    "NAXML-PBIMaintenance33.xsd\" version=\"3.3\">";

// ---- what all four files share ----

struct TableCase {
    const MaintenanceTable* table;
    std::function<MaintenanceDocument(std::span<const std::string>)> buildEmpty;
    std::string prefix;  // "" or "n:" for the namespaced file
};

std::vector<TableCase> AllTables() {
    const MaintenanceSite site = Site();
    return {
        {&kDepartmentTable, [site](auto keys) { return BuildDepartmentDocument(site, {}, keys); },
         ""},
        {&kItemListTable, [site](auto keys) { return BuildItemListDocument(site, {}, keys); }, ""},
        {&kComboTable, [site](auto keys) { return BuildComboDocument(site, {}, keys); }, ""},
        {&kMixMatchTable, [site](auto keys) { return BuildMixMatchDocument(site, {}, keys); },
         "n:"},
    };
}

TEST(MaintenanceEnvelope, EveryFileHasHeaderTableActionsAndNoDeclaration) {
    for (const TableCase& c : AllTables()) {
        SCOPED_TRACE(std::string(c.table->fileName));
        const MaintenanceDocument built = c.buildEmpty({});
        const std::string bytes = built.FileBytes();
        EXPECT_TRUE(bytes.starts_with("<NAXML-MaintenanceRequest ")) << bytes;
        const XmlDocument doc = Reparsed(built);
        const std::string& n = c.prefix;
        const std::string root = "/" + n + "NAXML-MaintenanceRequest";
        EXPECT_THAT(Query(doc, root + "/@version"), ElementsAre(std::string(c.table->version)));
        EXPECT_THAT(ChildNames(doc, root),
                    ElementsAre("TransmissionHeader", std::string(c.table->tableElement)));
        EXPECT_THAT(ChildNames(doc, root + "/" + n + "TransmissionHeader"),
                    ElementsAre("StoreLocationID", "VendorName", "VendorModelVersion"));
        EXPECT_THAT(Query(doc, root + "/" + n + "TransmissionHeader/*"),
                    ElementsAre("0007", "TORV", "Tidewell 1.1.1.9"));
        const std::string table = root + "/" + n + std::string(c.table->tableElement);
        // A grid without records still writes the envelope and both actions.
        EXPECT_THAT(ChildNames(doc, table), ElementsAre("TableAction", "RecordAction"));
        EXPECT_THAT(Query(doc, table + "/" + n + "TableAction/@type"), ElementsAre("update"));
        EXPECT_THAT(Query(doc, table + "/" + n + "RecordAction/@type"), ElementsAre("addchange"));
    }
}

TEST(MaintenanceEnvelope, DeletionsCarryOnlyTheKeyInRecordingOrder) {
    const std::vector<std::string> keys{"K2", "K1", "K2"};
    for (const TableCase& c : AllTables()) {
        SCOPED_TRACE(std::string(c.table->fileName));
        const XmlDocument doc = Reparsed(c.buildEmpty(keys));
        const std::string details = "//" + c.prefix + std::string(c.table->detailElement);
        EXPECT_EQ(Query(doc, details).size(), 3u);
        EXPECT_THAT(ChildNames(doc, "(" + details + ")[1]"),
                    ElementsAre("RecordAction", std::string(c.table->keyElement)));
        EXPECT_THAT(Query(doc, details + "/" + c.prefix + "RecordAction/@type"),
                    ElementsAre("delete", "delete", "delete"));
        EXPECT_THAT(Query(doc, details + "/*[2]"), ElementsAre("K2", "K1", "K2"));
    }
}

// ---- departments ----

TEST(DepartmentWriter, TrimsCodesCutsDescriptionsAndSkipsRowsWithoutCode) {
    const std::vector<DepartmentRow> rows{
        {" 12 ", "  Groceries and more groceries and even more"},
        {"", "no code"},
        {"   ", "blank code"},
        {"7", ""},
    };
    const std::vector<std::string> deletions{" 3"};
    const XmlDocument doc = Reparsed(BuildDepartmentDocument(Site(), rows, deletions));
    EXPECT_THAT(Query(doc, "//MCTDetail/MerchandiseCode"), ElementsAre("12", "7", "3"));
    // First 30 characters, then white space removed at both ends.
    EXPECT_THAT(Query(doc, "//MCTDetail/MerchandiseCodeDescription"),
                ElementsAre("Groceries and more groceries", ""));
    EXPECT_THAT(ChildNames(doc, "//MCTDetail[2]"),
                ElementsAre("RecordAction", "MerchandiseCode", "MerchandiseCodeDescription"));
}

TEST(DepartmentWriter, DescriptionIsCutByCharactersNotBytes) {
    // 35 two-byte characters: a byte cut would split one and leave 15 characters.
    std::string description;
    for (int i = 0; i < 35; ++i) description += "\xC3\xA9";  // é
    const std::vector<DepartmentRow> rows{{"1", description}};
    const XmlDocument doc = Reparsed(BuildDepartmentDocument(Site(), rows, {}));
    const auto texts = Query(doc, "//MerchandiseCodeDescription");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], description.substr(0, 60));
}

// ---- item lists ----

TEST(ItemListWriter, WritesEntriesWithCodesOnlyAndOptionalFieldsWhenSet) {
    const std::string entries = PackCell({
        {"0", "plu", "0", "x", "y"},  // POSCode 0: not written
        {"", "upcA", "1", "x", "y"},  // no POSCode: not written
        {"012345678905", "upcA", "0", "INV7", "12"},
        {"4011", "", "", "", ""},
    });
    const std::vector<ItemListRow> rows{
        {" L1", "Fruit of the season, all kinds and sizes", entries},
        {"", "ignored", entries},
    };
    const XmlDocument doc = Reparsed(BuildItemListDocument(Site(), rows, {}));
    EXPECT_THAT(Query(doc, "//ILTDetail/ItemListID"), ElementsAre(" L1"));  // as typed
    EXPECT_THAT(Query(doc, "//ILTDetail/ItemListDescription"),
                ElementsAre("Fruit of the season, all kinds"));
    EXPECT_THAT(ChildNames(doc, "//ILTDetail"),
                ElementsAre("RecordAction", "ItemListID", "ItemListDescription", "ItemListEntry",
                            "ItemListEntry"));
    EXPECT_THAT(ChildNames(doc, "//ItemListEntry[1]"), ElementsAre("ItemCode", "MerchandiseCode"));
    EXPECT_THAT(ChildNames(doc, "//ItemListEntry[1]/ItemCode"),
                ElementsAre("POSCodeFormat", "POSCode", "POSCodeModifier", "InventoryItemID"));
    EXPECT_THAT(Query(doc, "//ItemListEntry[1]/ItemCode/* | //ItemListEntry[1]/MerchandiseCode"),
                ElementsAre("", "012345678905", "0", "INV7", "12"));
    EXPECT_THAT(ChildNames(doc, "//ItemListEntry[2]"), ElementsAre("ItemCode"));
    EXPECT_THAT(ChildNames(doc, "//ItemListEntry[2]/ItemCode"),
                ElementsAre("POSCodeFormat", "POSCode", "POSCodeModifier"));
    // The format attribute is written even when empty.
    EXPECT_THAT(Query(doc, "//POSCodeFormat/@format"), ElementsAre("upcA", ""));
}

TEST(ItemListWriter, WritesEveryGroupOfALongCell) {
    std::vector<PackedGroup> groups;
    for (int i = 1; i <= 45; ++i) groups.push_back({std::to_string(i), "plu", "0", "", ""});
    const std::vector<ItemListRow> rows{{"L", "", PackCell(groups)}};
    const XmlDocument doc = Reparsed(BuildItemListDocument(Site(), rows, {}));
    const auto codes = Query(doc, "//POSCode");
    ASSERT_EQ(codes.size(), 45u);
    EXPECT_EQ(codes.back(), "45");
}

// ---- combos ----

TEST(ComboWriter, AddChangeDetailsHaveNoRecordActionAndOnlyTheFieldsSet) {
    const std::vector<ComboRow> rows{
        {"C1", "", "", "", "", "", "", ""},
        {"C2", "", "2.50", "", "", "", "", ""},
        {"C3", "Two sodas and a very large bag of chips", "4.99",
         PackCell({{"L1", "2", "each", "1.25", "10", "percent"}}), "2026-01-01", "08:00:00",
         "2026-12-31", "17:00:00"},
    };
    const XmlDocument doc = Reparsed(BuildComboDocument(Site(), rows, {}));
    EXPECT_THAT(ChildNames(doc, "//CBTDetail[1]"), ElementsAre("ComboID"));
    EXPECT_THAT(ChildNames(doc, "//CBTDetail[2]"), ElementsAre("ComboID", "ComboPrice"));
    EXPECT_THAT(ChildNames(doc, "//CBTDetail[3]"),
                ElementsAre("ComboID", "ComboDescription", "ComboPrice", "ComboList", "StartDate",
                            "StartTime", "StopDate", "StopTime"));
    EXPECT_THAT(Query(doc, "//CBTDetail[3]/ComboDescription"),
                ElementsAre("Two sodas and a very large bag"));
    EXPECT_THAT(ChildNames(doc, "//ComboItemList"),
                ElementsAre("ItemListID", "ComboItemQuantity", "ComboItemUnitPrice",
                            "ComboItemDiscountAllocation"));
    EXPECT_THAT(Query(doc, "//ComboItemQuantity/@uom"), ElementsAre("each"));
    EXPECT_THAT(Query(doc, "//ComboItemDiscountAllocation/@type"), ElementsAre("percent"));
}

TEST(ComboWriter, ComboListHoldsGroupsWithItemListIdOnly) {
    const std::string items = PackCell({
        {"", "3", "each", "1.00", "", ""},  // no ItemListID: skipped
        {"L2", "", "", "", "", "amount"},   // quantity always; type only with allocation
        {"L3", "1", "", "", "5", ""},
    });
    const std::vector<ComboRow> rows{
        {"C1", "", "", items, "", "", "", ""},
        {"C2", "", "", PackCell({{"", "1", "", "", "", ""}}), "", "", "", ""},
    };
    const XmlDocument doc = Reparsed(BuildComboDocument(Site(), rows, {}));
    EXPECT_THAT(Query(doc, "//CBTDetail[1]//ItemListID"), ElementsAre("L2", "L3"));
    EXPECT_THAT(ChildNames(doc, "//ComboItemList[1]"),
                ElementsAre("ItemListID", "ComboItemQuantity"));
    EXPECT_THAT(Query(doc, "//ComboItemList[1]/ComboItemQuantity"), ElementsAre(""));
    EXPECT_THAT(Query(doc, "//ComboList//@*"), IsEmpty());
    EXPECT_THAT(ChildNames(doc, "//ComboItemList[2]"),
                ElementsAre("ItemListID", "ComboItemQuantity", "ComboItemDiscountAllocation"));
    // A list whose groups all lack an ItemListID writes no ComboList.
    EXPECT_THAT(ChildNames(doc, "//CBTDetail[2]"), ElementsAre("ComboID"));
}

TEST(ComboWriter, WritesEveryGroupOfALongCell) {
    std::vector<PackedGroup> groups;
    for (int i = 1; i <= 85; ++i) groups.push_back({"L" + std::to_string(i), "1", "", "", "", ""});
    const std::vector<ComboRow> rows{{"C", "", "", PackCell(groups), "", "", "", ""}};
    const XmlDocument doc = Reparsed(BuildComboDocument(Site(), rows, {}));
    EXPECT_EQ(Query(doc, "//ComboItemList").size(), 85u);
}

// ---- mix-and-match ----

MixMatchRow MixMatch(std::string description) {
    MixMatchRow row;
    row.description = std::move(description);
    return row;
}

TEST(MixMatchWriter, FileIsOneLineWithTheNamespacedRoot) {
    MixMatchRow row = MixMatch("Line one\nline two");
    const MaintenanceDocument built = BuildMixMatchDocument(Site(), std::vector{row}, {});
    const std::string bytes = built.FileBytes();
    EXPECT_TRUE(bytes.starts_with(kNamespacedRoot + "<TransmissionHeader>")) << bytes;
    EXPECT_TRUE(bytes.ends_with("</MixMatchMaintenance></NAXML-MaintenanceRequest>")) << bytes;
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
    // The line break of a text survives as a character reference.
    EXPECT_THAT(Query(Reparsed(built), "//n:MixMatchDescription"),
                ElementsAre("Line one\nline two"));
}

TEST(MixMatchWriter, MinimalRecordWritesTheAlwaysElements) {
    const std::vector<MixMatchRow> rows{MixMatch("Two for five dollars on all candy bars"), {}};
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), rows, {}));
    EXPECT_EQ(Query(doc, "//n:MMTDetail").size(), 1u);
    EXPECT_THAT(
        ChildNames(doc, "//n:MMTDetail"),
        ElementsAre("RecordAction", "MixMatchID", "MixMatchDescription", "MixMatchStrictHighFlag",
                    "MixMatchStrictLowFlag", "StartDate", "StartTime", "StopDate", "StopTime"));
    EXPECT_THAT(Query(doc, "//n:MixMatchDescription"),
                ElementsAre("Two for five dollars on all ca"));
    EXPECT_THAT(Query(doc, "//n:MixMatchStrictHighFlag/@value | //n:MixMatchStrictLowFlag/@value"),
                ElementsAre("yes", "yes"));
}

TEST(MixMatchWriter, FullRecordInTableOrder) {
    MixMatchRow row = MixMatch("Candy");
    row.promotion =
        PackCell({{"77", "promotionID", "mixAndMatchOffer", "", "1"}, {"78", "", "", "", ""}});
    row.salesRestrictions = PackCell({{"ProhibitDiscountFlag", "", "", "FALSE", "", ""}});
    row.highFlag = "FALSE";
    row.lowFlag = "false";  // only "FALSE" means no
    row.transactionLimit = "10";
    row.lotLimit = "2";
    row.lotUom = "each";
    row.itemListIds = "L1;;L2;";
    row.startDate = "2026-01-01";
    row.entries = PackCell({{"2", "each", "MixMatchPrice", "5.00"}});
    row.promotions = PackCell({{"08:00:00", "10:00:00", "1", "", "0.99"}});
    row.priority = "high";
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), std::vector{row}, {}));
    EXPECT_THAT(
        ChildNames(doc, "//n:MMTDetail"),
        ElementsAre("RecordAction", "MixMatchID", "MixMatchDescription", "SalesRestriction",
                    "MixMatchStrictHighFlag", "MixMatchStrictLowFlag", "TransactionLimit",
                    "LotLimit", "ItemListID", "ItemListID", "StartDate", "StartTime", "StopDate",
                    "StopTime", "MixMatchEntry", "MixMatchPromotions", "Priority"));
    EXPECT_THAT(Query(doc, "//n:MixMatchID"), ElementsAre("77"));
    EXPECT_THAT(Query(doc, "//n:MixMatchStrictHighFlag/@value"), ElementsAre("no"));
    EXPECT_THAT(Query(doc, "//n:MixMatchStrictLowFlag/@value"), ElementsAre("yes"));
    EXPECT_THAT(Query(doc, "//n:LotLimit/@uom"), ElementsAre("each"));
    EXPECT_THAT(Query(doc, "//n:MMTDetail/n:ItemListID"), ElementsAre("L1", "L2"));
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchEntry"),
                ElementsAre("MixMatchUnits", "MixMatchPrice"));
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchPromoEntry"),
                ElementsAre("StartTime", "StopTime", "MixMatchUnits", "MixMatchPrice"));
    EXPECT_THAT(Query(doc, "//n:MixMatchPromoEntry/n:MixMatchUnits/@uom"), IsEmpty());
}

TEST(MixMatchWriter, LimitsAndListsAppearOnlyWhenSet) {
    MixMatchRow row = MixMatch("Offer");
    row.lotUom = "each";  // without LotLimit: neither element nor attribute
    row.entries = PackCell({
        {"", "each", "MixMatchPrice", "1"},  // no units: skipped
        {"3", "", "", "2.00"},               // no value element name
        {"4", "", "Bogus", "2.00"},          // not a name the POS knows
        {"5", "each", "MixMatchDiscountPercent", "10"},
    });
    row.promotions = PackCell({{"", "10:00:00", "1", "", "1.00"}});  // no StartTime anywhere
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), std::vector{row}, {}));
    EXPECT_THAT(Query(doc, "//n:LotLimit | //n:MixMatchPromotions"), IsEmpty());
    EXPECT_THAT(Query(doc, "//n:MixMatchEntry/n:MixMatchUnits"), ElementsAre("3", "4", "5"));
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchEntry[1]"), ElementsAre("MixMatchUnits"));
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchEntry[2]"), ElementsAre("MixMatchUnits"));
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchEntry[3]"),
                ElementsAre("MixMatchUnits", "MixMatchDiscountPercent"));
    EXPECT_THAT(Query(doc, "//n:MixMatchEntry/n:MixMatchUnits/@uom"), ElementsAre("each"));
}

TEST(MixMatchWriter, PromotionsWithStartButNoStopAreEmpty) {
    MixMatchRow row = MixMatch("Offer");
    row.promotions = PackCell({{"08:00:00", "", "1", "each", "1.00"}});
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), std::vector{row}, {}));
    EXPECT_EQ(Query(doc, "//n:MixMatchPromotions").size(), 1u);
    EXPECT_THAT(ChildNames(doc, "//n:MixMatchPromotions"), IsEmpty());
}

TEST(MixMatchWriter, SalesRestrictionFromTheExampleCell) {
    MixMatchRow row = MixMatch("Offer");
    row.salesRestrictions =
        "SalesRestrictFlag;prohibitEBT;;TRUE;;;WeekdayAvailability;Sunday;;FALSE;08:00:00;"
        "17:00:00;";
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), std::vector{row}, {}));
    EXPECT_THAT(ChildNames(doc, "//n:SalesRestriction"),
                ElementsAre("SalesRestrictFlag", "WeekdayAvailability"));
    EXPECT_THAT(Query(doc, "//n:SalesRestrictFlag/@*"), ElementsAre("yes", "prohibitEBT"));
    EXPECT_THAT(Query(doc, "//n:WeekdayAvailability/@*"),
                ElementsAre("Sunday", "no", "08:00:00", "17:00:00"));
}

TEST(MixMatchWriter, SalesRestrictionChildrenGoKindByKindKeepingTheirOrder) {
    MixMatchRow row = MixMatch("Offer");
    row.salesRestrictions = PackCell({
        {"WeekdayAvailability", "Monday", "", "TRUE", "", ""},
        {"TransactionLimit", "each", "5", "", "", ""},
        {"SalesRestrictFlag", "prohibitEBT", "customType", "FALSE", "", ""},
        {"MinimumClerkAge", "", "", "", "", ""},  // no value: not written
        {"MinimumCustomerAge", "", "21", "", "", ""},
        {"WeekdayAvailability", "", "", "", "", ""},
        {"Unknown", "", "", "", "", ""},
        {"ProhibitDiscountFlag", "", "", "", "", ""},
    });
    const XmlDocument doc = Reparsed(BuildMixMatchDocument(Site(), std::vector{row}, {}));
    EXPECT_THAT(ChildNames(doc, "//n:SalesRestriction"),
                ElementsAre("SalesRestrictFlag", "ProhibitDiscountFlag", "WeekdayAvailability",
                            "WeekdayAvailability", "MinimumCustomerAge", "TransactionLimit"));
    // ValueText wins over ValueCombo as the type.
    EXPECT_THAT(Query(doc, "//n:SalesRestrictFlag/@*"), ElementsAre("no", "customType"));
    EXPECT_THAT(Query(doc, "//n:ProhibitDiscountFlag/@value"), ElementsAre("yes"));
    EXPECT_THAT(Query(doc, "//n:WeekdayAvailability[1]/@*"), ElementsAre("Monday", "yes"));
    EXPECT_THAT(Query(doc, "//n:WeekdayAvailability[2]/@*"), ElementsAre("yes"));
    EXPECT_THAT(Query(doc, "//n:SalesRestriction/n:TransactionLimit"), ElementsAre("5"));
    EXPECT_THAT(Query(doc, "//n:SalesRestriction/n:TransactionLimit/@uom"), ElementsAre("each"));
}

TEST(MixMatchWriter, SalesRestrictionNeedsATag) {
    MixMatchRow tagless = MixMatch("A");
    tagless.salesRestrictions = PackCell({{"", "prohibitEBT", "", "TRUE", "", ""}});
    MixMatchRow unknown = MixMatch("B");
    unknown.salesRestrictions = PackCell({{"Unknown", "", "", "", "", ""}});
    const XmlDocument doc =
        Reparsed(BuildMixMatchDocument(Site(), std::vector{tagless, unknown}, {}));
    EXPECT_EQ(Query(doc, "//n:MMTDetail[1]/n:SalesRestriction").size(), 0u);
    EXPECT_EQ(Query(doc, "//n:MMTDetail[2]/n:SalesRestriction").size(), 1u);
    EXPECT_THAT(ChildNames(doc, "//n:MMTDetail[2]/n:SalesRestriction"), IsEmpty());
}

}  // namespace
}  // namespace tw::naxml
