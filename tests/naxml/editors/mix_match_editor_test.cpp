// The mix-and-match editor without its window: a file read back and saved unchanged, deletions
// never sent that survive a re-save, the sub-editors, the packed cells typed in place, and a
// failed save.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "../maintenance/xpath_query.h"
#include "naxml/editors/mix_match_editor.h"
#include "naxml/maintenance/maintenance_document.h"
#include "naxml/maintenance/maintenance_writers.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompter.h"

namespace tw::naxml {
namespace {

using test::ChildNames;
using test::Query;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// Every column of an offer, as the POS's vocabulary lays it out, and a deletion not yet sent.
std::string MixMatchFixture() {
    return "<NAXML-MaintenanceRequest xmlns=\"" + std::string(kNaxmlNamespace) +
           R"(" version="3.3"><TransmissionHeader/><MixMatchMaintenance>
  <TableAction type="update"/><RecordAction type="addchange"/>
  <MMTDetail><RecordAction type="addchange"/>
    <MixMatchID>77</MixMatchID><MixMatchDescription>Candy deal</MixMatchDescription>
    <SalesRestriction>
      <SalesRestrictFlag value="yes" type="prohibitEBT"/>
      <SalesRestrictFlag value="no" type="ownFlag"/>
      <ProhibitDiscountFlag value="no"/>
      <WeekdayAvailability weekday="Sunday" available="no" startTime="08:00:00" stopTime="17:00:00"/>
      <MinimumCustomerAge>21</MinimumCustomerAge><MinimumClerkAge>18</MinimumClerkAge>
      <TransactionLimit uom="each">5</TransactionLimit>
    </SalesRestriction>
    <MixMatchStrictHighFlag value="no"/><MixMatchStrictLowFlag value="yes"/>
    <TransactionLimit>10</TransactionLimit><LotLimit uom="each">2</LotLimit>
    <ItemListID>L1</ItemListID><ItemListID>L2</ItemListID>
    <StartDate>2026-12-01</StartDate><StartTime>08:00:00</StartTime>
    <StopDate>2026-12-31</StopDate><StopTime>17:00:00</StopTime>
    <MixMatchEntry><MixMatchUnits uom="each">2</MixMatchUnits><MixMatchPrice>5.00</MixMatchPrice></MixMatchEntry>
    <MixMatchEntry><MixMatchUnits>3</MixMatchUnits><MixMatchDiscountPercent>10</MixMatchDiscountPercent></MixMatchEntry>
    <MixMatchPromotions><MixMatchPromoEntry><StartTime>08:00:00</StartTime><StopTime>10:00:00</StopTime>
      <MixMatchUnits uom="each">1</MixMatchUnits><MixMatchPrice>0.99</MixMatchPrice></MixMatchPromoEntry>
    </MixMatchPromotions>
    <Priority>high</Priority>
  </MMTDetail>
  <MMTDetail><RecordAction type="delete"/><MixMatchDescription>Old deal</MixMatchDescription></MMTDetail>
</MixMatchMaintenance></NAXML-MaintenanceRequest>)";
}

// What must survive a round trip: every element and attribute of an offer, and the deletions.
const std::vector<std::string> kMixMatchPaths{
    "//n:MMTDetail[n:RecordAction/@type='addchange']/n:MixMatchDescription",
    "//n:MMTDetail/n:MixMatchID",
    "//n:SalesRestriction/*/@*",
    "//n:SalesRestriction/*",
    "//n:MixMatchStrictHighFlag/@value",
    "//n:MixMatchStrictLowFlag/@value",
    "//n:MMTDetail/n:TransactionLimit",
    "//n:LotLimit",
    "//n:LotLimit/@uom",
    "//n:MMTDetail/n:ItemListID",
    "//n:MMTDetail/n:StartDate",
    "//n:MMTDetail/n:StartTime",
    "//n:MMTDetail/n:StopDate",
    "//n:MMTDetail/n:StopTime",
    "//n:MixMatchEntry/*",
    "//n:MixMatchEntry/*/@uom",
    "//n:MixMatchPromoEntry/*",
    "//n:MixMatchPromoEntry/*/@uom",
    "//n:Priority",
    "//n:MMTDetail[n:RecordAction/@type='delete']/n:MixMatchDescription",
};

class MixMatchEditing : public ::testing::Test {
protected:
    XmlDocument Written() {
        XmlDocument document;
        EXPECT_TRUE(document.Load(dir.File("MMT.XML")));
        return document;
    }
    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    tw::test::ScriptedPrompter prompter;
    PendingDeletions deletions;
    MaintenanceSite site{2, std::string(kProgramNameAndVersion), dir.Path() + "/"};
};

TEST_F(MixMatchEditing, AFileWithEveryColumnIsSavedUnchangedAndItsDeletionSurvives) {
    dir.Write("MMT.XML", MixMatchFixture());
    XmlDocument before;
    ASSERT_TRUE(before.Load(dir.File("MMT.XML")));
    MixMatchEditor editor(site, prompter, deletions);
    editor.Load();
    ASSERT_EQ(editor.Grid().RowCount(), 2u) << "one offer and a free row";
    EXPECT_THAT(deletions.List(kMixMatchEditorId), ElementsAre("Old deal"));

    // Each sub-editor gives its cell back unchanged.
    for (std::size_t column : {kPromotionColumn, kItemListIdsColumn, kMixMatchEntriesColumn}) {
        auto sub = editor.SubEditor(0, column);
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->Grid().RowCount(), kSubEditorMinimumRows);
        editor.Grid().SetCell(0, column, sub->Confirm());
    }
    EXPECT_EQ(editor.SubEditor(0, 2), nullptr) << "SalesRestrict is typed in place";

    prompter.answers = {true, true};
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    EXPECT_THAT(prompter.QuestionTexts(),
                ElementsAre(kMixMatchSaveQuestion,
                            "Are you sure you wish to delete the following Combo Mix Match data: "
                            "Old deal  ? "));
    const XmlDocument after = Written();
    for (const std::string& path : kMixMatchPaths)
        EXPECT_EQ(Query(after, path), Query(before, path)) << path;
    const std::string bytes = tw::test::ReadAll(dir.File("MMT.XML"));
    EXPECT_THAT(bytes, StartsWith("<NAXML-MaintenanceRequest xmlns="));
    EXPECT_EQ(bytes.find('\n'), std::string::npos) << "one line";

    // Saved again, the deletion that was never sent is still in the file.
    MixMatchEditor reopened(site, prompter, deletions);
    reopened.Load();
    prompter.answers = {true, true};
    ASSERT_EQ(reopened.Save(), SaveOutcome::kClose);
    EXPECT_THAT(
        Query(Written(), "//n:MMTDetail[n:RecordAction/@type='delete']/n:MixMatchDescription"),
        ElementsAre("Old deal"));
}

TEST_F(MixMatchEditing, CellsTypedInPlaceAndInSubEditorsAreWrittenAsThePosReadsThem) {
    ASSERT_TRUE(SaveItemListFile(site, std::vector<ItemListRow>{{"L1", "", ""}, {"L2", "", ""}},
                                 deletions));
    MixMatchEditor editor(site, prompter, deletions);
    editor.Load();
    GridModel& grid = editor.Grid();
    ASSERT_EQ(grid.RowCount(), kEmptyGridRows);
    grid.CommitText(0, 0, "Sunday candy");
    EXPECT_TRUE(AcceptsKey(grid.Column(2), ';')) << "packed cells are typed in place";
    grid.CommitText(0, 2,
                    "SalesRestrictFlag;prohibitEBT;;TRUE;;;"
                    "WeekdayAvailability;Sunday;;FALSE;08:00:00;17:00:00;");
    grid.CommitText(0, 7, "kg");  // LotUOM without LotLimit
    grid.CommitChoice(0, 7, 3, "");
    EXPECT_EQ(grid.Cell(0, 7), "kg");
    grid.CommitText(0, 14, "08:00:00;;1;each;0.99;");  // a window without StopTime

    auto promotion = editor.SubEditor(0, kPromotionColumn);
    EXPECT_EQ(promotion->Title(), "Promotion - Sunday candy");
    promotion->Grid().CommitText(0, 0, "P9");
    grid.SetCell(0, kPromotionColumn, promotion->Confirm());
    auto lists = editor.SubEditor(0, kItemListIdsColumn);
    EXPECT_THAT(DropDownChoices(lists->Grid().Column(0)), ElementsAre("", "L1", "L2"));
    lists->Grid().CommitChoice(0, 0, 2, "");
    grid.SetCell(0, kItemListIdsColumn, lists->Confirm());
    auto entries = editor.SubEditor(0, kMixMatchEntriesColumn);
    entries->Grid().CommitText(0, 0, "2");
    entries->Grid().CommitChoice(0, 2, std::nullopt, "MixMatchDiscountA");
    entries->Grid().CommitText(0, 3, "0.50");
    grid.SetCell(0, kMixMatchEntriesColumn, entries->Confirm());

    prompter.answers = {true};
    ASSERT_EQ(editor.Save(), SaveOutcome::kClose);
    const XmlDocument written = Written();
    EXPECT_THAT(ChildNames(written, "//n:SalesRestriction"),
                ElementsAre("SalesRestrictFlag", "WeekdayAvailability"));
    EXPECT_THAT(Query(written, "//n:SalesRestrictFlag/@*"), ElementsAre("yes", "prohibitEBT"));
    EXPECT_THAT(Query(written, "//n:WeekdayAvailability/@*"),
                ElementsAre("Sunday", "no", "08:00:00", "17:00:00"));
    EXPECT_THAT(Query(written, "//n:MixMatchStrictHighFlag/@value"), ElementsAre("yes"))
        << "an empty flag is written yes";
    EXPECT_THAT(Query(written, "//n:LotLimit"), IsEmpty());
    EXPECT_THAT(Query(written, "//n:MixMatchPromotions"), ElementsAre(""));
    EXPECT_THAT(ChildNames(written, "//n:MixMatchPromotions"), IsEmpty());
    EXPECT_THAT(Query(written, "//n:MMTDetail/n:StopDate"), ElementsAre("")) << "always written";
    EXPECT_THAT(Query(written, "//n:MixMatchID"), ElementsAre("P9"));
    EXPECT_THAT(Query(written, "//n:MMTDetail/n:ItemListID"), ElementsAre("L2"));
    EXPECT_THAT(Query(written, "//n:MixMatchEntry/n:MixMatchDiscountAmount"), ElementsAre("0.50"));
}

TEST_F(MixMatchEditing, AFailedOrRefusedSaveKeepsTheEditorOpenWithItsEdits) {
    MixMatchEditor editor(site, prompter, deletions);
    editor.Load();
    editor.Grid().CommitText(0, 0, "Deal");
    prompter.answers = {false};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen);

    std::filesystem::remove_all(dir.Path());
    prompter.answers = {true};
    EXPECT_EQ(editor.Save(), SaveOutcome::kStayOpen);
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Promotion/Mix Match Maintenance record."));
    EXPECT_EQ(editor.Grid().Cell(0, 0), "Deal");

    MixMatchEditor cannotWrite(site, prompter, deletions, false);
    cannotWrite.Load();
    prompter.answers = {true};
    EXPECT_EQ(cannotWrite.Save(), SaveOutcome::kStayOpen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("MMT.XML")));
}

}  // namespace
}  // namespace tw::naxml
