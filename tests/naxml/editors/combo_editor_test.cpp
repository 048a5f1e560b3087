// The combo editor without its window: a file read back and saved unchanged, the combo-list
// sub-editor, the item list IDs it offers, deletions that were never sent, and the save
// questions and failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "../maintenance/xpath_query.h"
#include "naxml/editors/combo_editor.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::naxml {
namespace {

using test::ChildNames;
using test::Query;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Every column and every element of a combo list; the second group has no quantity or unit
// price and the third no discount allocation, so a misaligned read-back shows.
const char* const kComboFixture = R"(<NAXML-MaintenanceRequest version="3.4">
  <TransmissionHeader><StoreLocationID>0002</StoreLocationID></TransmissionHeader>
  <ComboMaintenance>
    <TableAction type="update"/><RecordAction type="addchange"/>
    <CBTDetail>
      <ComboID>C1</ComboID><ComboDescription>Soda and chips</ComboDescription>
      <ComboPrice>4.99</ComboPrice>
      <ComboList>
        <ComboItemList><ItemListID>L1</ItemListID>
          <ComboItemQuantity uom="each">2</ComboItemQuantity>
          <ComboItemUnitPrice>1.25</ComboItemUnitPrice>
          <ComboItemDiscountAllocation type="percent">50</ComboItemDiscountAllocation>
        </ComboItemList>
        <ComboItemList><ItemListID>L2</ItemListID><ComboItemQuantity/>
          <ComboItemDiscountAllocation type="amount">0.30</ComboItemDiscountAllocation>
        </ComboItemList>
        <ComboItemList><ItemListID>L3</ItemListID>
          <ComboItemQuantity uom="liter">1</ComboItemQuantity>
          <ComboItemUnitPrice>0.99</ComboItemUnitPrice>
        </ComboItemList>
      </ComboList>
      <StartDate>2026-12-01</StartDate><StartTime>08:00:00</StartTime>
      <StopDate>2026-12-31</StopDate><StopTime>17:30:00</StopTime>
    </CBTDetail>
    <CBTDetail><ComboID>C2</ComboID><ComboPrice>1.00</ComboPrice></CBTDetail>
    <CBTDetail><RecordAction type="delete"/><ComboID>C0</ComboID></CBTDetail>
  </ComboMaintenance>
</NAXML-MaintenanceRequest>
)";

// What must survive a round trip: every element and attribute of a combo, and the deletions.
const std::vector<std::string> kComboPaths{
    "//CBTDetail[not(RecordAction)]/ComboID",
    "//CBTDetail/ComboDescription",
    "//CBTDetail/ComboPrice",
    "//ComboItemList/ItemListID",
    "//ComboItemList/ComboItemQuantity",
    "//ComboItemList/ComboItemQuantity/@uom",
    "//ComboItemList/ComboItemUnitPrice",
    "//ComboItemList/ComboItemDiscountAllocation",
    "//ComboItemList/ComboItemDiscountAllocation/@type",
    "//CBTDetail/StartDate",
    "//CBTDetail/StartTime",
    "//CBTDetail/StopDate",
    "//CBTDetail/StopTime",
    "//CBTDetail[RecordAction/@type='delete']/ComboID",
};

class ComboEditing : public ::testing::Test {
protected:
    XmlDocument Load(const std::string& name) {
        XmlDocument document;
        EXPECT_TRUE(document.Load(dir.File(name)));
        return document;
    }
    std::vector<std::string> ColumnOf(GridModel& grid, std::size_t column) {
        std::vector<std::string> cells;
        for (std::size_t row = 0; row < grid.RowCount(); ++row)
            if (!grid.Cell(row, column).empty())
                cells.push_back(grid.Cell(row, column));
        return cells;
    }
    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    tw::test::ScriptedPrompter prompter;
    PendingDeletions deletions;
    MaintenanceSite site{2, std::string(kProgramNameAndVersion), dir.Path() + "/"};
};

TEST_F(ComboEditing, AFileWithEveryColumnIsSavedUnchangedWithItsDeletions) {
    dir.Write("CBT.XML", kComboFixture);
    const XmlDocument before = Load("CBT.XML");
    ComboEditor editor(site, prompter, deletions);
    editor.Load();
    ASSERT_EQ(editor.Grid().RowCount(), 3u) << "two combos and a free row";
    EXPECT_EQ(editor.Grid().Cell(0, kComboListColumn),
              "L1;2;each;1.25;50;percent;L2;;;;0.30;amount;L3;1;liter;0.99;;;");
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("C0"));

    // The sub-editor shows every group in its place and gives the cell back unchanged.
    auto list = editor.ListEditor(0);
    EXPECT_EQ(list->Grid().RowCount(), 80u);
    EXPECT_THAT(list->Grid().Row(1), ElementsAre("L2", "", "", "", "0.30", "amount"));
    EXPECT_EQ(list->Confirm().rfind(editor.Grid().Cell(0, kComboListColumn), 0), 0u);
    editor.Grid().SetCell(0, kComboListColumn, list->Confirm());

    prompter.answers = {true, true};
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_THAT(
        prompter.QuestionTexts(),
        ElementsAre(kComboSaveQuestion,
                    "Are you sure you wish to delete the following Combo/Promotions: C0  ? "));
    const XmlDocument after = Load("CBT.XML");
    for (const std::string& path : kComboPaths)
        EXPECT_EQ(Query(after, path), Query(before, path)) << path;
    EXPECT_THAT(Query(after, "/NAXML-MaintenanceRequest/@version"), ElementsAre("3.3"));
    EXPECT_THAT(ChildNames(after, "//CBTDetail[ComboID='C2']"),
                ElementsAre("ComboID", "ComboPrice"))
        << "an add/change detail has no RecordAction and only what is set";
    EXPECT_TRUE(deletions.Empty(kComboEditorId));

    // The deletion was written again: the next editor reads it back and asks again.
    ComboEditor reopened(site, prompter, deletions);
    reopened.Load();
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("C0"));
    prompter.answers = {true, false};  // save, but no longer delete C0
    ASSERT_EQ(reopened.Save(), SaveOutcome::kClose);
    EXPECT_THAT(Query(Load("CBT.XML"), "//CBTDetail[RecordAction]/ComboID"), IsEmpty());
}

TEST_F(ComboEditing, GroupsWithoutItemListAreDroppedAndWithoutQuantityKeepAnEmptyOne) {
    ComboEditor editor(site, prompter, deletions);
    editor.Load();
    ASSERT_EQ(editor.Grid().RowCount(), kEmptyGridRows);
    GridModel& grid = editor.Grid();
    grid.CommitText(0, 0, "C1");
    grid.CommitText(0, 2, "2.5");
    EXPECT_EQ(grid.Cell(0, 2), "2.50");
    grid.CommitText(0, 4, "31.12.2026");
    grid.CommitText(0, 5, "9:05");
    EXPECT_EQ(grid.Cell(0, 4), "2026-12-31");
    EXPECT_EQ(grid.Cell(0, 5), "09:05:00");

    auto list = editor.ListEditor(0);
    GridModel& items = list->Grid();
    items.CommitText(0, 1, "3");                   // no ItemListID: not written
    items.CommitChoice(1, 0, std::nullopt, "L9");  // not an offered ID: the cell stays empty
    EXPECT_EQ(items.Cell(1, 0), "");
    EXPECT_FALSE(AcceptsKey(items.Column(1), ';')) << "a field cannot hold the separator";
    grid.SetCell(0, kComboListColumn, list->Confirm());
    grid.CommitText(1, 0, "C2");
    grid.SetCell(1, kComboListColumn, "L1;;;;;;L2;;kg;;;;");

    prompter.answers = {true};
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    const XmlDocument written = Load("CBT.XML");
    EXPECT_THAT(ChildNames(written, "//CBTDetail[ComboID='C1']"),
                ElementsAre("ComboID", "ComboPrice", "StartDate", "StartTime"));
    EXPECT_THAT(Query(written, "//CBTDetail[ComboID='C1']/ComboPrice"), ElementsAre("2.50"));
    EXPECT_THAT(Query(written, "//CBTDetail[ComboID='C2']//ItemListID"), ElementsAre("L1", "L2"));
    EXPECT_THAT(ChildNames(written, "//ComboItemList[ItemListID='L1']"),
                ElementsAre("ItemListID", "ComboItemQuantity"));
    EXPECT_THAT(Query(written, "//ComboItemList[ItemListID='L2']/ComboItemQuantity/@uom"),
                ElementsAre("kg"));
}

TEST_F(ComboEditing, ItemListChoicesFollowThePendingFileThenTheLastSentOne) {
    const auto lists = [](std::initializer_list<const char*> ids) {
        std::vector<ItemListRow> rows;
        for (const char* id : ids) rows.push_back({id, "", ""});
        return rows;
    };
    ASSERT_TRUE(SaveItemListFile(site, lists({"SENT1", "SENT2"}), deletions));
    std::filesystem::rename(dir.File("ILT.XML"), dir.File("ILTBAK.XML"));
    {
        ComboEditor editor(site, prompter, deletions);
        editor.Load();
        EXPECT_THAT(editor.ItemListIds(), ElementsAre("SENT1", "SENT2"));
    }
    deletions.Add(kItemListEditorId, "GONE");
    ASSERT_TRUE(SaveItemListFile(site, lists({"Z", "A", "M"}), deletions));
    ComboEditor editor(site, prompter, deletions);
    editor.Load();
    EXPECT_THAT(editor.ItemListIds(), ElementsAre("Z", "A", "M"))
        << "in file order, without the deleted list";
    auto list = editor.ListEditor(0);
    EXPECT_THAT(DropDownChoices(list->Grid().Column(0)), ElementsAre("", "Z", "A", "M"));
    EXPECT_EQ(DropDownChoices(list->Grid().Column(2)).size(), 22u);
}

TEST_F(ComboEditing, AFailedOrRefusedSaveKeepsTheEditorOpenWithItsEdits) {
    ComboEditor editor(site, prompter, deletions);
    editor.Load();
    editor.Grid().CommitText(0, 0, "C1");
    prompter.answers = {false};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen);

    std::filesystem::remove_all(dir.Path());
    prompter.answers = {true};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen);
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Combo/Promotion Maintenance record."));
    EXPECT_EQ(editor.Grid().Cell(0, 0), "C1");

    ComboEditor cannotWrite(site, prompter, deletions, false);
    cannotWrite.Load();
    prompter.answers = {true};
    EXPECT_EQ(cannotWrite.Save(), SaveOutcome::kStayOpen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("CBT.XML")));
}

}  // namespace
}  // namespace tw::naxml
