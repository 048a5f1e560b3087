// The department editor without its window: which file it shows, what the user's edits write,
// the exact questions, and what happens to deletions and edits around a save.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "../maintenance/xpath_query.h"
#include "naxml/editors/department_editor.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::naxml {
namespace {

using test::Query;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kSaveQuestion =
    "Would you like to save the Department Maintenance file in preparation for sending to the "
    "POS? ";

class DepartmentEditing : public ::testing::Test {
protected:
    void WriteFile(const char* name, const std::vector<DepartmentRow>& rows) {
        const MaintenanceDocument document = BuildDepartmentDocument(site, rows, {});
        ASSERT_TRUE(document.Save(dir.File(name)));
    }
    XmlDocument Written() {
        XmlDocument document;
        EXPECT_TRUE(document.Load(dir.File("MCT.XML")));
        return document;
    }

    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    tw::test::ScriptedPrompter prompter;
    PendingDeletions deletions;
    MaintenanceSite site{7, std::string(kProgramNameAndVersion), dir.Path() + "/"};
};

TEST_F(DepartmentEditing, ShowsThePendingFileElseTheLastSentElseEmptyRows) {
    DepartmentEditor empty(site, prompter, deletions);
    empty.Load();
    EXPECT_EQ(empty.Shown(), DepartmentSet::kNone);
    EXPECT_EQ(empty.Grid().RowCount(), 40u);

    WriteFile("MCTBAK.XML", {{"3", "Sent"}});
    DepartmentEditor lastSent(site, prompter, deletions);
    lastSent.Load();
    EXPECT_EQ(lastSent.Shown(), DepartmentSet::kLastSent);
    EXPECT_THAT(lastSent.Grid().Row(0), ElementsAre("3", "Sent"));
    EXPECT_EQ(lastSent.Grid().RowCount(), 2u) << "the records and one free row";

    WriteFile("MCT.XML", {{"12", "Dairy"}, {"7", "Bakery"}});
    DepartmentEditor pending(site, prompter, deletions);
    pending.Load();
    EXPECT_EQ(pending.Shown(), DepartmentSet::kPending);
    EXPECT_THAT(pending.Grid().Row(1), ElementsAre("7", "Bakery"));
    EXPECT_EQ(pending.Grid().RowCount(), 3u);
}

TEST_F(DepartmentEditing, EditsDeletionsAndTheQuestionsReachTheFile) {
    WriteFile("MCT.XML", {{"12", "Dairy"}, {"7", "Bakery"}});
    DepartmentEditor editor(site, prompter, deletions);
    editor.Load();
    GridModel& grid = editor.Grid();

    grid.CommitText(2, 0, "9");
    EXPECT_EQ(grid.Cell(2, 0), "  9");
    grid.CommitText(2, 1, "Forty characters of a department name ok");
    prompter.answers = {true, true};  // delete the row of 12, save
    EXPECT_TRUE(grid.CommitText(0, 0, ""));
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);

    EXPECT_THAT(prompter.QuestionTexts(),
                ElementsAre("You have removed the data. Would you like to delete this entire row?",
                            std::string(kSaveQuestion) +
                                "(Department Maintenance file includes deleting the following "
                                "Department IDs: 12 )"));
    EXPECT_EQ(prompter.questions[1].title, "Save File");
    const XmlDocument written = Written();
    EXPECT_THAT(Query(written, "/NAXML-MaintenanceRequest/@version"), ElementsAre("3.2"));
    EXPECT_THAT(Query(written, "//StoreLocationID"), ElementsAre("0007"));
    EXPECT_THAT(Query(written, "//MCTDetail[RecordAction/@type='addchange']/MerchandiseCode"),
                ElementsAre("7", "9"));
    EXPECT_THAT(
        Query(written, "//MCTDetail[RecordAction/@type='addchange']/MerchandiseCodeDescription"),
        ElementsAre("Bakery", "Forty characters of a departme"));
    EXPECT_THAT(Query(written, "//MCTDetail[RecordAction/@type='delete']/MerchandiseCode"),
                ElementsAre("12"));
    EXPECT_TRUE(deletions.Empty(kDepartmentEditorId)) << "written once";
}

TEST_F(DepartmentEditing, ADepartmentEnteredAgainIsNeitherAskedAboutNorDeleted) {
    WriteFile("MCT.XML", {{"12", "Dairy"}});
    DepartmentEditor editor(site, prompter, deletions);
    editor.Load();
    prompter.answers = {true, true};
    editor.Grid().CommitText(0, 0, "");
    editor.Grid().CommitText(0, 0, "12");
    editor.Grid().CommitText(0, 1, "Dairy again");
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_EQ(prompter.QuestionTexts().back(), kSaveQuestion);
    EXPECT_THAT(Query(Written(), "//MCTDetail/RecordAction/@type"), ElementsAre("addchange"));
}

TEST_F(DepartmentEditing, NoWritesNothingAndAFailedSaveKeepsTheEditorOpen) {
    DepartmentEditor editor(site, prompter, deletions);
    editor.Load();
    editor.Grid().CommitText(0, 0, "5");
    prompter.answers = {false};
    EXPECT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_FALSE(std::filesystem::exists(dir.File("MCT.XML")));

    DepartmentEditor readOnly(site, prompter, deletions, false);
    readOnly.Load();
    prompter.answers = {true};
    EXPECT_EQ(readOnly.Save(), SaveOutcome::kClose);
    EXPECT_FALSE(std::filesystem::exists(dir.File("MCT.XML")));

    MaintenanceSite missing = site;
    missing.directory = dir.File("gone/");
    DepartmentEditor failing(missing, prompter, deletions);
    failing.Load();
    failing.Grid().CommitText(0, 0, "5");
    prompter.answers = {true};
    EXPECT_EQ(failing.Save(), SaveOutcome::kStayOpen);
    EXPECT_EQ(failing.Grid().Cell(0, 0), "  5") << "the edits are still there";
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Department Maintenance record."));
}

}  // namespace
}  // namespace tw::naxml
