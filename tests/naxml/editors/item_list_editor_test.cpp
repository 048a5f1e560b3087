// The item list editor without its window: item choices, what choosing one sets, check digits
// both ways, the save questions, and a large list that survives the editor unchanged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "../maintenance/xpath_query.h"
#include "naxml/editors/item_list_editor.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::naxml {
namespace {

using test::Query;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ItemChoices, ActiveItemsByUpcCodeAndByShortId) {
    const std::vector<BackOfficeItemRecord> items{
        {true, "01234567890", 1, "Cola", "4711", 6},
        {true, "", 1, "Gum", "123", 4},
        {true, "", 1, "Big id", "123456", 1},
        {false, "09999999999", 1, "Gone", "77", 1},
        {true, "55", 2, "Same", "55", 2},
        {true, "", 1, "Zero", "0", 1},
    };
    EXPECT_THAT(ItemChoices(items), ElementsAre("01234567890 Pack:1 Cola", "4711 Pack:6 Cola",
                                                "123 Pack:4 Gum", "55 Pack:2 Same"));
}

TEST(ItemChoices, ChoosingAnItemSetsCodeModifierAndFormat) {
    tw::test::ScriptedPrompter prompter;
    ItemEntriesEditor editor("L1", {"01234567890 Pack:1 Cola", "123 Pack:4 Gum"}, prompter);
    editor.Load("");
    EXPECT_EQ(editor.Title(), "ItemList - L1");
    GridModel& grid = editor.Grid();
    ASSERT_EQ(grid.RowCount(), 40u);

    grid.CommitChoice(0, 0, std::nullopt, "0123");  // typing selects the first match
    EXPECT_THAT(grid.Row(0), ElementsAre("01234567890", "upcA", "0", "", ""));
    grid.CommitChoice(1, 0, 2, "");
    EXPECT_THAT(grid.Row(1), ElementsAre("123", "plu", "4", "", ""));

    EXPECT_EQ(InterpretItemChoice("0123456 Pack:12 X")->codeFormat, "upcE");
    EXPECT_EQ(InterpretItemChoice("1234567 Pack:1 X")->codeFormat, "ean8");
    EXPECT_EQ(InterpretItemChoice("012345678901 Pack:1 X")->codeFormat, "ean13");
    EXPECT_EQ(InterpretItemChoice("0123456789012 Pack:1 X")->codeFormat, "gtin");
    EXPECT_EQ(InterpretItemChoice("12345678 Pack:1 X")->codeFormat, std::nullopt);
    EXPECT_EQ(InterpretItemChoice("01234567890"), std::nullopt);

    const std::string cell = editor.Confirm();
    const auto groups = SplitPackedCell(cell, item_list_entry::kFieldCount);
    ASSERT_EQ(groups.size(), 40u);
    EXPECT_THAT(groups[0], ElementsAre("012345678905", "upcA", "0", "", ""));
    EXPECT_THAT(groups[1], ElementsAre("123", "plu", "4", "", "")) << "a PLU has none";

    // Reopened, the code shows without its check digit and is stored as before.
    ItemEntriesEditor again("L1", {}, prompter);
    again.Load(cell);
    EXPECT_EQ(again.Grid().Cell(0, 0), "01234567890");
    EXPECT_EQ(again.Confirm(), cell);
}

TEST(ItemCheckDigits, OnlyGtinsWithTheirCheckDigitLoseItAndOnlyTheseOrNewCodesGetOne) {
    tw::test::ScriptedPrompter prompter;
    const std::vector<PackedGroup> groups{
        {"4006381333931", "ean13", "0", "", ""},  // valid check digit: shown without it
        {"012345678901", "upcA", "0", "", ""},    // wrong check digit: a code kept as it is
        {"ABC-7", "plu", "0", "", ""},            // not digits
        {"42", "plu", "0", "", ""},               // a PLU
        {"0", "", "", "", ""},                    // kept, never written
    };
    ItemEntriesEditor editor("L", {}, prompter);
    editor.Load(PackCell(groups));
    GridModel& grid = editor.Grid();
    EXPECT_EQ(grid.Cell(0, 0), "400638133393");
    EXPECT_EQ(grid.Cell(1, 0), "012345678901");
    EXPECT_EQ(grid.Cell(2, 0), "ABC-7");
    EXPECT_EQ(grid.Cell(3, 0), "42");

    grid.CommitText(5, 0, "96385074");  // entered anew: gets its check digit
    grid.CommitText(6, 0, "X12");
    const auto confirmed = SplitPackedCell(editor.Confirm(), item_list_entry::kFieldCount);
    EXPECT_EQ(confirmed[0][0], "4006381333931");
    EXPECT_EQ(confirmed[1][0], "012345678901");
    EXPECT_EQ(confirmed[2][0], "ABC-7");
    EXPECT_EQ(confirmed[3][0], "42");
    EXPECT_EQ(confirmed[4][0], "0");
    EXPECT_EQ(confirmed[5][0], "963850742");
    EXPECT_EQ(confirmed[6][0], "X12");
}

class ItemListEditing : public ::testing::Test {
protected:
    XmlDocument Written() {
        XmlDocument document;
        EXPECT_TRUE(document.Load(dir.File("ILT.XML")));
        return document;
    }
    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    tw::test::ScriptedPrompter prompter;
    PendingDeletions deletions;
    MaintenanceSite site{2, std::string(kProgramNameAndVersion), dir.Path() + "/"};
};

TEST_F(ItemListEditing, AListOfAHundredEntriesSurvivesTheEditorUnchanged) {
    std::vector<PackedGroup> entries;
    for (int n = 0; n < 100; ++n) {
        std::string code = "40063813" + std::to_string(1000 + n);
        code += Gs1CheckDigit(code);
        entries.push_back({code, "ean13", n % 3 == 0 ? "6" : "0",
                           n % 2 ? "INV" + std::to_string(n) : "", n % 5 ? "12" : ""});
    }
    const std::vector<ItemListRow> rows{{"L1", "Soft drinks", PackCell(entries)},
                                        {"L2", "Gum", "123;plu;0;;;"}};
    ASSERT_TRUE(SaveItemListFile(site, rows, deletions));
    const std::string before = tw::test::ReadAll(dir.File("ILT.XML"));

    ItemListEditor editor(site, prompter, deletions);
    editor.Load();
    ASSERT_EQ(editor.Grid().RowCount(), 3u);
    auto entriesEditor = editor.EntriesEditor(0);
    EXPECT_EQ(entriesEditor->Grid().RowCount(), 101u) << "every entry and a free row";
    editor.Grid().SetCell(0, 2, entriesEditor->Confirm());
    prompter.answers = {true};
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_EQ(tw::test::ReadAll(dir.File("ILT.XML")), before);
    EXPECT_THAT(Query(Written(), "//ILTDetail[ItemListID='L1']/ItemListEntry/MerchandiseCode"),
                ::testing::SizeIs(80));
}

TEST_F(ItemListEditing, SaveQuestionsDecideWhatIsWritten) {
    const std::vector<ItemListRow> rows{{"L1", "Fruit", ""}, {"L2", "Milk", ""}};
    ASSERT_TRUE(SaveItemListFile(site, rows, deletions));
    ItemListEditor editor(site, prompter, deletions);
    editor.Load();
    prompter.answers = {true};  // delete the row of L1
    editor.Grid().CommitText(0, 0, "");
    EXPECT_THAT(deletions.List(kItemListEditorId), ElementsAre("L1"));

    prompter.answers = {false};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen) << "No keeps the editor open";
    prompter.answers = {true, false};  // save, but do not delete L1
    EXPECT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_THAT(
        prompter.QuestionTexts(),
        ElementsAre(kDeleteRowQuestion, kItemListSaveQuestion, kItemListSaveQuestion,
                    "Are you sure you wish to delete the following Combo Item ID's: L1  ? "));
    EXPECT_EQ(prompter.questions.back().title, "Delete Combo Item ID's");
    EXPECT_THAT(Query(Written(), "//ILTDetail/ItemListID"), ElementsAre("L2"));
    EXPECT_THAT(Query(Written(), "/NAXML-MaintenanceRequest/@version"), ElementsAre("3.3"));
    EXPECT_TRUE(deletions.Empty(kItemListEditorId));

    std::filesystem::remove_all(dir.Path());
    prompter.answers = {true};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen) << "a failed save keeps the edits";
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Combo/Promotion Maintenance record."));
}

}  // namespace
}  // namespace tw::naxml
