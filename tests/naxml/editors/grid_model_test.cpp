// The grid model: commit rules under a decimal-comma locale, the row questions and what they
// leave in the pending deletions, disabled columns, packed cells in sub-editors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "naxml/editors/grid_model.h"
#include "naxml/maintenance/maintenance_records.h"
#include "naxml/maintenance/packed_cell.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::naxml {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Switches the C library to a German locale (decimal comma) for the test's lifetime, compiling
// one into a scratch directory when the system has none installed.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
            if (std::setlocale(LC_ALL, name) != nullptr)
                return;
        }
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + dir_.Path() + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            setenv("LOCPATH", dir_.Path().c_str(), 1);
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    bool Active() const {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        return std::string(text) == "1,5";
    }

private:
    tw::test::ScratchDir dir_;
};

TEST(GridCommitRules, NumbersDatesTimesAndLengthsIgnoreTheUsersLocale) {
    CommaLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no decimal-comma locale can be made here";

    EXPECT_EQ(FormatGridNumber("12", 2), "12.00");
    EXPECT_EQ(FormatGridNumber("12", 0), " 12");
    EXPECT_EQ(FormatGridNumber("7", 0), "  7");
    EXPECT_EQ(FormatGridNumber("1.256", 2), "1.26");
    EXPECT_EQ(FormatGridNumber("+3.5", 1), "3.5");
    EXPECT_EQ(FormatGridNumber("-2", 0), " -2");
    EXPECT_EQ(FormatGridNumber("abc", 0), "  0");
    EXPECT_EQ(FormatGridNumber("12,5", 2), "12.00");  // a comma ends the number, as in C

    const GridColumn date = [] {
        GridColumn column = TextColumn("Date", 1000);
        column.date = true;
        return column;
    }();
    EXPECT_EQ(CommitTextRule(date, "31/12/2020", ""), "2020-12-31");
    EXPECT_EQ(CommitTextRule(date, "31.12.2020", ""), "2020-12-31");
    EXPECT_EQ(CommitTextRule(date, "2020-2-29", ""), "2020-02-29");
    EXPECT_EQ(CommitTextRule(date, "12/31/2020", ""), "2020-12-31");
    EXPECT_EQ(CommitTextRule(date, "3/4/21", ""), "2021-04-03");  // day first when both fit
    EXPECT_EQ(CommitTextRule(date, "2021-02-29", "2020-01-01"), "2020-01-01");
    EXPECT_EQ(CommitTextRule(date, "tomorrow", "2020-01-01"), "2020-01-01");

    GridColumn time = TextColumn("Time", 1000);
    time.time = true;
    EXPECT_EQ(CommitTextRule(time, "9:05", ""), "09:05:00");
    EXPECT_EQ(CommitTextRule(time, "23:59:59", ""), "23:59:59");
    EXPECT_EQ(CommitTextRule(time, "9:05 pm", ""), "21:05:00");
    EXPECT_EQ(CommitTextRule(time, "12:00 am", ""), "00:00:00");
    EXPECT_EQ(CommitTextRule(time, "0930", ""), "09:30:00");
    EXPECT_EQ(CommitTextRule(time, "24:00", "08:00:00"), "08:00:00");

    // Lengths count characters: a cut never splits "é".
    const GridColumn text = TextColumn("Name", 1000, ColumnAlignment::kLeft, 3);
    EXPECT_EQ(CommitTextRule(text, "Cafés", ""), "Caf");
    EXPECT_EQ(CommitTextRule(text, "éé", ""), "éé");
    EXPECT_EQ(CommitTextRule(text, "", "old"), "");

    GridColumn raw = NumericColumn("Raw", 1000, 2);
    raw.noReformat = true;
    EXPECT_EQ(CommitTextRule(raw, "12", ""), "12");
}

TEST(GridCommitRules, KeyFilterAndDropDowns) {
    const GridColumn number = NumericColumn("ID", 1500, 0);
    for (char32_t key : {U'0', U'9', U'.', U'-', U'+', U'%', U'\'', U'\b'})
        EXPECT_TRUE(AcceptsKey(number, key)) << static_cast<int>(key);
    for (char32_t key : {U'a', U',', U' ', U';', U'é'})
        EXPECT_FALSE(AcceptsKey(number, key)) << static_cast<int>(key);

    GridColumn text = TextColumn("Name", 1000);
    EXPECT_TRUE(AcceptsKey(text, U';'));
    text.allowSemicolon = false;
    EXPECT_FALSE(AcceptsKey(text, U';'));
    EXPECT_TRUE(AcceptsKey(text, U'é'));

    const GridColumn formats =
        CodedDropDownColumn("POSCodeFormat", 1400, {{0, "upcA"}, {2, "ean8"}, {3, "ean13"}});
    const std::vector<std::string> choices = DropDownChoices(formats);
    EXPECT_THAT(choices, ElementsAre("", "upcA", "ean8", "ean13"));
    EXPECT_EQ(ResolveDropDown(choices, 0, "ean"), "");  // a value can be cleared
    EXPECT_EQ(ResolveDropDown(choices, std::nullopt, "ean"), "ean8");
    EXPECT_EQ(ResolveDropDown(choices, std::nullopt, "gtin"), std::nullopt);
}

class GridRows : public ::testing::Test {
protected:
    GridRows() {
        grid.AddColumn(NumericColumn("ID", 1500, 0));
        grid.AddColumn(TextColumn("Department", 2820));
        GridColumn hidden = TextColumn("Tax", 1000);
        hidden.presentAtPos = false;
        grid.AddColumn(hidden);
        grid.AppendRow({"  7", "Dairy"});
        grid.AppendRow({" 12", "Bakery"});
    }
    tw::test::ScriptedPrompter prompter;
    PendingDeletions deletions;
    GridModel grid{{.rowDeletion = true, .keyColumn = 0, .editorId = kDepartmentEditorId},
                   prompter,
                   deletions};
};

TEST_F(GridRows, EmptyingAKeyAnsweredYesRemovesTheRowAndRecordsTheTrimmedKey) {
    prompter.answers = {true};
    EXPECT_TRUE(grid.CommitText(0, 0, ""));
    EXPECT_EQ(grid.RowCount(), 1u);
    EXPECT_EQ(grid.Cell(0, 1), "Bakery");
    EXPECT_THAT(deletions.List(kDepartmentEditorId), ElementsAre("7"));
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_EQ(prompter.questions[0].title, "Delete Row");
    EXPECT_EQ(prompter.questions[0].text,
              "You have removed the data. Would you like to delete this entire row?");
}

TEST_F(GridRows, EmptyingAKeyAnsweredNoKeepsTheRowWithoutItsKey) {
    prompter.answers = {false};
    EXPECT_FALSE(grid.CommitText(1, 0, ""));
    EXPECT_EQ(grid.RowCount(), 2u);
    EXPECT_EQ(grid.Cell(1, 0), "");
    EXPECT_EQ(grid.Cell(1, 1), "Bakery");
    EXPECT_TRUE(deletions.Empty(kDepartmentEditorId));

    // A key that was blank already asks nothing; neither does another column.
    EXPECT_FALSE(grid.CommitText(1, 0, ""));
    EXPECT_FALSE(grid.CommitText(0, 1, ""));
    EXPECT_EQ(prompter.questions.size(), 1u);
    EXPECT_EQ(grid.CommitText(0, 0, "8"), false);
    EXPECT_EQ(grid.Cell(0, 0), "  8");
}

TEST_F(GridRows, DisabledColumnsRefuseEditingAndArePaintedGrey) {
    EXPECT_TRUE(grid.BeginEdit(1));
    EXPECT_FALSE(grid.BeginEdit(2));
    EXPECT_THAT(prompter.messages,
                ElementsAre("Functionality not present at POS. Column is disabled."));
    EXPECT_EQ(grid.CellColour(1), 0xFFFFFFu);
    EXPECT_EQ(grid.CellColour(2), 0x4B4B4Bu);
}

TEST_F(GridRows, NewRowOnlyWhenTheUserSaysYes) {
    prompter.answers = {false, true};
    EXPECT_EQ(grid.AskAddRow(), std::nullopt);
    EXPECT_EQ(grid.AskAddRow(), 2u);
    EXPECT_EQ(grid.RowCount(), 3u);
    EXPECT_THAT(grid.Row(2), ElementsAre("", "", ""));
    EXPECT_EQ(prompter.questions[1].title, "New Row");
    EXPECT_EQ(prompter.questions[1].text, "Would you like to create a new row?");
}

TEST(SubEditorRows, EveryGroupIsShownAndKeptWithOneFreeRow) {
    std::vector<PackedGroup> groups;
    for (int n = 1; n <= 60; ++n) groups.push_back({std::to_string(n), "upcA", "0", "", ""});
    const std::string cell = PackCell(groups);

    auto rows = SubEditorRows(cell, item_list_entry::kFieldCount, kSubEditorMinimumRows);
    ASSERT_EQ(rows.size(), 61u);
    EXPECT_EQ(rows[59][0], "60");
    EXPECT_THAT(rows[60], ElementsAre("", "", "", "", ""));
    // Confirming unchanged gives the same cell back, however often.
    EXPECT_EQ(PackSubEditorRows(rows, item_list_entry::kFieldCount, kSubEditorMinimumRows), cell);

    rows[60][0] = "61";
    const std::string grown =
        PackSubEditorRows(rows, item_list_entry::kFieldCount, kSubEditorMinimumRows);
    EXPECT_EQ(SplitPackedCell(grown, item_list_entry::kFieldCount).size(), 61u);
    EXPECT_EQ(SubEditorRows(grown, item_list_entry::kFieldCount, kSubEditorMinimumRows).size(),
              62u);

    // Small lists keep the usual 40 rows (80 for the combo list), empty groups included, and a
    // gap in the middle stays where the user left it.
    auto small = SubEditorRows("A;;;;;", item_list_entry::kFieldCount, kSubEditorMinimumRows);
    EXPECT_EQ(small.size(), 40u);
    small[2][0] = "C";
    const std::string packed =
        PackSubEditorRows(small, item_list_entry::kFieldCount, kSubEditorMinimumRows);
    EXPECT_EQ(SplitPackedCell(packed, item_list_entry::kFieldCount).size(), 40u);
    EXPECT_TRUE(
        packed.starts_with("A;;;;;"
                           ";;;;;"
                           "C;;;;;"))
        << packed;
    EXPECT_EQ(SubEditorRows("", combo_item::kFieldCount, kComboListMinimumRows).size(), 80u);
}

}  // namespace
}  // namespace tw::naxml
