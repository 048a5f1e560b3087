#include "naxml/maintenance/maintenance_readers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::naxml {

bool operator==(const ItemListRow& a, const ItemListRow& b) {
    return a.id == b.id && a.description == b.description && a.entries == b.entries;
}
bool operator==(const ComboRow& a, const ComboRow& b) {
    for (auto column : kComboColumns) {
        if (a.*column != b.*column)
            return false;
    }
    return true;
}
bool operator==(const MixMatchRow& a, const MixMatchRow& b) {
    for (auto column : kMixMatchColumns) {
        if (a.*column != b.*column)
            return false;
    }
    return true;
}
bool operator==(const DepartmentRow& a, const DepartmentRow& b) {
    return a.code == b.code && a.description == b.description;
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class MaintenanceRead : public ::testing::Test {
protected:
    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    MaintenanceSite site{2, std::string(kProgramNameAndVersion), dir.Path() + "/"};
    PendingDeletions deletions;

    // A hand-made file: root start tag, then the table element holding details.
    void WriteFile(const std::string& name, const std::string& rootStartTag,
                   const std::string& table, const std::string& details,
                   const std::string& before = "") {
        dir.Write(name, before + rootStartTag + "\n  <TransmissionHeader/>\n  <" + table + ">\n" +
                            details + "\n  </" + table + ">\n</NAXML-MaintenanceRequest>\n");
    }
    static std::string Root(const std::string& version) {
        return "<NAXML-MaintenanceRequest version=\"" + version + "\">";
    }
};

// ---- read-back of what the writers wrote ----

TEST_F(MaintenanceRead, ItemListsComeBackAsWrittenWithDeletionsPending) {
    const std::vector<ItemListRow> rows{
        {"L1", "Fruit",
         PackCell({{"0", "plu", "", "", ""},
                   {"012345678905", "upcA", "0", "INV", "12"},
                   {"4011", "plu", "", "", ""}})},
        {"L2", "", ""},
    };
    deletions.Add(kItemListEditorId, "L0");
    ASSERT_TRUE(SaveItemListFile(site, rows, deletions));

    const std::vector<ItemListRow> read = ReadItemListFile(dir.Path(), deletions);
    // The entry with POSCode 0 was not written; MerchandiseCode comes back.
    EXPECT_THAT(read,
                ElementsAre(ItemListRow{"L1", "Fruit", "012345678905;upcA;0;INV;12;4011;plu;;;;"},
                            ItemListRow{"L2", "", ""}));
    EXPECT_THAT(deletions.List(kItemListEditorId), ElementsAre("L0"));
    // Reading the same file again does not multiply its deletions.
    ReadItemListFile(dir.Path(), deletions);
    EXPECT_THAT(deletions.List(kItemListEditorId), ElementsAre("L0"));
}

TEST_F(MaintenanceRead, CombosComeBackWithSixFieldsPerGroup) {
    const std::vector<ComboRow> rows{
        {"C1", "Soda and chips", "4.99",
         PackCell(
             {{"L1", "2", "each", "1.25", "", "percent"}, {"L2", "1", "", "", "10", "amount"}}),
         "2026-01-01", "08:00:00", "", ""},
        {"C2", "", "", "", "", "", "", ""},
    };
    deletions.Add(kComboEditorId, "C0");
    ASSERT_TRUE(SaveComboFile(site, rows, deletions));

    const std::vector<ComboRow> read = ReadComboFile(dir.Path(), deletions);
    ASSERT_EQ(read.size(), 2u);
    // A group without a discount allocation keeps its place: the type is not written alone.
    EXPECT_EQ(read[0].items, "L1;2;each;1.25;;;L2;1;;;10;amount;");
    ComboRow expected = rows[0];
    expected.items = read[0].items;
    EXPECT_EQ(read[0], expected);
    EXPECT_EQ(read[1], rows[1]);
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("C0"));
}

TEST_F(MaintenanceRead, MixMatchComesBackFromItsNamespacedFileWithItsDeletionsPending) {
    MixMatchRow row;
    row.description = "Candy";
    row.promotion = "77;";
    row.salesRestrictions =
        "SalesRestrictFlag;prohibitEBT;;TRUE;;;SalesRestrictFlag;;myType;FALSE;;;"
        "ProhibitDiscountFlag;;;FALSE;;;WeekdayAvailability;Sunday;;FALSE;08:00:00;17:00:00;"
        "MinimumCustomerAge;;21;;;;MinimumClerkAge;;18;;;;TransactionLimit;each;5;;;;";
    row.highFlag = "FALSE";
    row.lowFlag = "TRUE";
    row.transactionLimit = "10";
    row.lotLimit = "2";
    row.lotUom = "each";
    row.itemListIds = "L1;L2;";
    row.startDate = "2026-01-01";
    row.startTime = "08:00:00";
    row.stopDate = "2026-12-31";
    row.stopTime = "17:00:00";
    row.entries = "2;each;MixMatchPrice;5.00;3;;MixMatchDiscountPercent;10;";
    row.promotions = "08:00:00;10:00:00;1;each;0.99;";
    row.priority = "high";
    deletions.Add(kMixMatchEditorId, "Gone");
    ASSERT_TRUE(SaveMixMatchFile(site, std::vector{row}, deletions));

    const std::vector<MixMatchRow> read = ReadMixMatchFile(dir.Path(), deletions);
    MixMatchRow expected = row;
    expected.promotion = "77";  // the MixMatchID alone
    EXPECT_THAT(read, ElementsAre(expected));
    // Not sent yet: a save of the editor must write the deletion again.
    EXPECT_THAT(deletions.List(kMixMatchEditorId), ElementsAre("Gone"));

    // Once sent, the deletion is done: the last-sent copy does not bring it back.
    deletions.Clear(kMixMatchEditorId);
    std::filesystem::rename(dir.File("MMT.XML"), dir.File("MMTBAK.XML"));
    EXPECT_THAT(ReadMixMatchFile(dir.Path(), deletions), ElementsAre(expected));
    EXPECT_TRUE(deletions.Empty(kMixMatchEditorId));
}

TEST_F(MaintenanceRead, MixMatchFlagsAndEntriesReadTheirDefaults) {
    WriteFile("MMT.XML", Root("3.4"), "MixMatchMaintenance",
              "<MMTDetail><MixMatchDescription>A</MixMatchDescription>"
              "<MixMatchStrictLowFlag value=\"no\"/>"
              "<SalesRestriction><WeekdayAvailability available=\"maybe\"/></SalesRestriction>"
              "<MixMatchEntry><MixMatchUnits>1</MixMatchUnits><Other>3</Other></MixMatchEntry>"
              "</MMTDetail>");
    const std::vector<MixMatchRow> read = ReadMixMatchFile(dir.Path(), deletions);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].highFlag, "TRUE");  // absent flag
    EXPECT_EQ(read[0].lowFlag, "FALSE");
    EXPECT_EQ(read[0].salesRestrictions, "WeekdayAvailability;;;FALSE;;;");
    EXPECT_EQ(read[0].entries, "1;;;;");
}

// ---- which files are read ----

TEST_F(MaintenanceRead, RootAndVersionDecideWhatIsRead) {
    const std::string combo = "<CBTDetail><ComboID>C1</ComboID></CBTDetail>";
    const std::string items = "<ILTDetail><ItemListID>L1</ItemListID></ILTDetail>";
    const std::string offer =
        "<MMTDetail><MixMatchDescription>M1</MixMatchDescription></MMTDetail>";
    struct Case {
        std::string root;
        bool comboAndOffers, itemLists;
    };
    const std::vector<Case> cases{
        {Root("3.2"), false, false},
        {Root("3.3"), true, true},
        {Root("3.4"), true, false},
        {Root("3.30"), true, true},
        {"<NAXML-MaintenanceRequest>", false, false},
        {"<naxml-maintenancerequest version=\"3.3\">", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        std::string end = c.root.starts_with("<naxml") ? "</naxml-maintenancerequest>\n"
                                                       : "</NAXML-MaintenanceRequest>\n";
        const auto file = [&](const std::string& table, const std::string& details) {
            return c.root + "<" + table + ">" + details + "</" + table + ">" + end;
        };
        dir.Write("CBT.XML", file("ComboMaintenance", combo));
        dir.Write("ILT.XML", file("ItemListMaintenance", items));
        dir.Write("MMT.XML", file("MixMatchMaintenance", offer));
        EXPECT_EQ(ReadComboFile(dir.Path(), deletions).size(), c.comboAndOffers ? 1u : 0u);
        EXPECT_EQ(ReadMixMatchFile(dir.Path(), deletions).size(), c.comboAndOffers ? 1u : 0u);
        EXPECT_EQ(ReadItemListFile(dir.Path(), deletions).size(), c.itemLists ? 1u : 0u);
        EXPECT_EQ(ReadItemListIds(dir.Path()).size(), c.comboAndOffers ? 1u : 0u);
    }
}

TEST_F(MaintenanceRead, DeclarationCommentsAndIndentationBeforeTheRootDoNotMatter) {
    WriteFile("CBT.XML", Root("3.3"), "ComboMaintenance",
              "    <CBTDetail>\n      <ComboID>C1</ComboID>\n    </CBTDetail>\n"
              "    <!-- a note between records -->\n"
              "    <CBTDetail>\n      <ComboID>C2</ComboID>\n    </CBTDetail>",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- exported -->\n");
    const std::vector<ComboRow> read = ReadComboFile(dir.Path(), deletions);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].id, "C1");
    EXPECT_EQ(read[1].id, "C2");
}

TEST_F(MaintenanceRead, FallsBackToTheLastSentCopyOnlyWhenThePendingFileDoesNotLoad) {
    WriteFile("CBTBAK.XML", Root("3.3"), "ComboMaintenance",
              "<CBTDetail><ComboID>SENT</ComboID></CBTDetail>");
    EXPECT_THAT(ReadComboFile(dir.Path(), deletions),
                ElementsAre(testing::Field(&ComboRow::id, "SENT")));

    dir.Write("CBT.XML", "<NAXML-MaintenanceRequest version=\"3.3\"><broken>");
    EXPECT_THAT(ReadComboFile(dir.Path(), deletions),
                ElementsAre(testing::Field(&ComboRow::id, "SENT")));
    EXPECT_EQ(messages.log.Texts().size(), 1u);  // the parse error

    // A pending file that loads but is of another version hides the copy.
    WriteFile("CBT.XML", Root("3.2"), "ComboMaintenance",
              "<CBTDetail><ComboID>NEW</ComboID></CBTDetail>");
    EXPECT_THAT(ReadComboFile(dir.Path(), deletions), IsEmpty());
}

TEST_F(MaintenanceRead, FixedNamesAreFoundIgnoringCase) {
    WriteFile("ilt.xml", Root("3.3"), "ItemListMaintenance",
              "<ILTDetail><RecordAction type=\"delete\"/><ItemListID>L0</ItemListID></ILTDetail>"
              "<ILTDetail><RecordAction type=\"addchange\"/><ItemListID>L1</ItemListID></ILTDetail>"
              "<ILTDetail><ItemListID>L2</ItemListID></ILTDetail>");
    EXPECT_THAT(ReadItemListIds(dir.Path()), ElementsAre("L1", "L2"));
}

// ---- departments ----

TEST_F(MaintenanceRead, DepartmentsPreferThePendingFileAndStopAtADetailWithoutAction) {
    WriteFile("MCTBAK.XML", Root("3.2"), "MerchandiseCodeMaintenance",
              "<MCTDetail><RecordAction type=\"addchange\"/><MerchandiseCode>1</MerchandiseCode>"
              "</MCTDetail>");
    DepartmentFiles files = ReadDepartmentFiles(dir.Path());
    EXPECT_EQ(files.shown, DepartmentSet::kLastSent);
    EXPECT_THAT(files.rows, ElementsAre(DepartmentRow{"1", ""}));

    // The department reader checks no version.
    WriteFile("MCT.XML", "<NAXML-MaintenanceRequest>", "MerchandiseCodeMaintenance",
              "<MCTDetail><RecordAction type=\"addchange\"/>"
              "<MerchandiseCode> 012 </MerchandiseCode>"
              "<MerchandiseCodeDescription>Dairy</MerchandiseCodeDescription></MCTDetail>"
              "<MCTDetail><RecordAction type=\"delete\"/><MerchandiseCode>9</MerchandiseCode>"
              "</MCTDetail>"
              "<MCTDetail><RecordAction type=\"addchange\"/><MerchandiseCode>x</MerchandiseCode>"
              "</MCTDetail>"
              "<MCTDetail><MerchandiseCode>20</MerchandiseCode></MCTDetail>"
              "<MCTDetail><RecordAction type=\"addchange\"/><MerchandiseCode>21</MerchandiseCode>"
              "</MCTDetail>");
    files = ReadDepartmentFiles(dir.Path());
    EXPECT_EQ(files.shown, DepartmentSet::kPending);
    EXPECT_THAT(files.rows, ElementsAre(DepartmentRow{"12", "Dairy"}, DepartmentRow{"0", ""}));
}

TEST_F(MaintenanceRead, DepartmentsWithNeitherFileShowNothing) {
    const DepartmentFiles files = ReadDepartmentFiles(dir.Path());
    EXPECT_EQ(files.shown, DepartmentSet::kNone);
    EXPECT_THAT(files.rows, IsEmpty());
    EXPECT_THAT(messages.log.Texts(), IsEmpty());  // missing files are not reported
}

}  // namespace
}  // namespace tw::naxml
