// The department editor on screen, offscreen: typing, the key filter, row deletion, saving.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>
#include <filesystem>

#include "../../app/ui/qt_test_support.h"
#include "../maintenance/xpath_query.h"
#include "editor_ui_support.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/ui/editor_launch.h"
#include "naxml/ui/grid_dialog.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::ui {
namespace {

namespace fs = std::filesystem;
using naxml::test::Query;
using ::testing::ElementsAre;

class DepartmentDialogTest : public ::testing::Test {
protected:
    DepartmentDialogTest() {
        const std::vector<naxml::DepartmentRow> rows{{"12", "Dairy"}, {"7", "Bakery"}};
        EXPECT_TRUE(naxml::BuildDepartmentDocument(site, rows, {}).Save(dir.File("MCT.XML")));
        editor.Load();
    }
    XmlDocument Written() {
        XmlDocument document;
        EXPECT_TRUE(document.Load(dir.File("MCT.XML")));
        return document;
    }

    test::ScratchDir dir;
    test::RecordedMessages messages;
    test::ScriptedPrompter prompter;
    naxml::PendingDeletions deletions;
    naxml::MaintenanceSite site{1, std::string(naxml::kProgramNameAndVersion), dir.Path() + "/"};
    naxml::DepartmentEditor editor{site, prompter, deletions};
};

TEST_F(DepartmentDialogTest, TypingDeletingAndSavingAsAUserDoes) {
    DepartmentDialog dialog(editor);
    dialog.show();
    GridView& view = dialog.View();
    EXPECT_EQ(dialog.windowTitle(), "Department Editor");
    EXPECT_EQ(dialog.AddRowButton()->text(), "Add Department");
    EXPECT_EQ(view.model()->headerData(0, Qt::Horizontal).toString(), "ID");
    EXPECT_EQ(view.currentIndex(), view.model()->index(0, 0));

    test::TypeIntoCell(view, 2, 0, "4x2");  // the letter is refused
    EXPECT_EQ(editor.Grid().Cell(2, 0), " 42");
    test::TypeIntoCell(view, 2, 1, "Frozen");
    EXPECT_EQ(editor.Grid().Cell(2, 1), "Frozen");

    // Escape leaves the cell as it was.
    view.setCurrentIndex(view.model()->index(1, 1));
    test::PressKey(&view, 'Z', "Z");
    ASSERT_NE(view.OpenEditor(), nullptr);
    test::PressKey(view.OpenEditor(), Qt::Key_Escape);
    EXPECT_EQ(editor.Grid().Cell(1, 1), "Bakery");

    prompter.answers = {true};  // delete the row of 12
    test::TypeIntoCell(view, 0, 0, "");
    EXPECT_EQ(view.model()->rowCount(), 2);
    EXPECT_EQ(view.model()->index(0, 1).data().toString(), "Bakery");

    prompter.answers = {true};  // a new row
    dialog.AddRowButton()->click();
    EXPECT_EQ(view.model()->rowCount(), 3);

    prompter.answers = {true};  // save
    dialog.OkButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_THAT(prompter.QuestionTexts(),
                ElementsAre(naxml::kDeleteRowQuestion, naxml::kNewRowQuestion,
                            "Would you like to save the Department Maintenance file in "
                            "preparation for sending to the POS? (Department Maintenance file "
                            "includes deleting the following Department IDs: 12 )"));
    const XmlDocument written = Written();
    EXPECT_THAT(Query(written, "//MCTDetail[RecordAction/@type='addchange']/MerchandiseCode"),
                ElementsAre("7", "42"));
    EXPECT_THAT(Query(written, "//MCTDetail[RecordAction/@type='delete']/MerchandiseCode"),
                ElementsAre("12"));
}

TEST_F(DepartmentDialogTest, AnOpenEditIsCommittedByOkAndAFailedSaveKeepsTheDialogOpen) {
    fs::remove_all(dir.Path());
    DepartmentDialog dialog(editor);
    dialog.show();
    GridView& view = dialog.View();
    view.setCurrentIndex(view.model()->index(0, 1));
    test::PressKey(&view, 'M', "M");
    prompter.answers = {true};
    dialog.OkButton()->click();
    EXPECT_EQ(editor.Grid().Cell(0, 1), "M") << "committed before saving";
    EXPECT_TRUE(dialog.isVisible()) << "the user can retry or cancel";
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Department Maintenance record."));

    fs::create_directories(dir.Path());
    prompter.answers = {true};
    dialog.OkButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_THAT(Query(Written(), "//MerchandiseCodeDescription"), ElementsAre("M", "Bakery"));
}

}  // namespace
}  // namespace tw::ui
