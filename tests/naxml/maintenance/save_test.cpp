// Saving through the editors' sequence: messages, the file on disk, pending deletions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "naxml/maintenance/maintenance_writers.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::naxml {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> FileNames(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class MaintenanceSave : public ::testing::Test {
protected:
    tw::test::ScratchDir dir;
    tw::test::RecordedMessages messages;
    MaintenanceSite site{3, std::string(kProgramNameAndVersion), dir.Path() + "/"};
    PendingDeletions deletions;
};

TEST_F(MaintenanceSave, ComboSaveReportsWritesAndClearsOnlyItsDeletions) {
    deletions.Add(kComboEditorId, "OLD");
    deletions.Add(kMixMatchEditorId, "OTHER");
    const std::vector<ComboRow> rows{{"C1", "", "", "", "", "", "", ""}};
    ASSERT_TRUE(SaveComboFile(site, rows, deletions));

    const std::string path = dir.Path() + "/CBT.XML";
    EXPECT_THAT(messages.status.Texts(),
                ElementsAre("Saving Combo/Promotion Maintenance File " + path + "."));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
    EXPECT_THAT(FileNames(dir.Path()), ElementsAre("CBT.XML"));  // no temporary left behind
    const std::string written = tw::test::ReadAll(path);
    EXPECT_NE(written.find("<ComboID>C1</ComboID>"), std::string::npos);
    EXPECT_NE(written.find("<ComboID>OLD</ComboID>"), std::string::npos);
    EXPECT_TRUE(deletions.Empty(kComboEditorId));
    EXPECT_THAT(deletions.List(kMixMatchEditorId), ElementsAre("OTHER"));
}

TEST_F(MaintenanceSave, FailedSaveReportsAndKeepsTheDeletionsForTheNextTry) {
    site.directory = dir.Path() + "/missing/";
    deletions.Add(kItemListEditorId, "L9");
    deletions.Add(kComboEditorId, "C9");
    deletions.Add(kMixMatchEditorId, "M9");

    EXPECT_FALSE(SaveItemListFile(site, {}, deletions));
    EXPECT_FALSE(SaveComboFile(site, {}, deletions));
    EXPECT_FALSE(SaveMixMatchFile(site, {}, deletions));
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Combo/Promotion Maintenance record.",
                            "Unable to write Combo/Promotion Maintenance record.",
                            "Unable to write Promotion/Mix Match Maintenance record."));
    EXPECT_EQ(messages.status.Texts().size(), 3u);
    EXPECT_THAT(deletions.List(kItemListEditorId), ElementsAre("L9"));
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("C9"));
    EXPECT_THAT(deletions.List(kMixMatchEditorId), ElementsAre("M9"));
}

// A department deleted, sent, then created again must not be deleted again by every later
// save of the run; nor may a save delete a department the grid still lists.
TEST_F(MaintenanceSave, DepartmentDeletionsAreWrittenOnceAndNeverForADepartmentStillListed) {
    deletions.Add(kDepartmentEditorId, " 12");
    deletions.Add(kDepartmentEditorId, "5");
    deletions.Add(kComboEditorId, "C1");
    const std::vector<DepartmentRow> rows{{"  5", "Dairy"}};
    site.directory = dir.Path() + "/missing";
    EXPECT_FALSE(SaveDepartmentFile(site, rows, deletions));
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable to write Department Maintenance record."));
    EXPECT_THAT(deletions.List(kDepartmentEditorId), ElementsAre(" 12"))
        << "kept for the next try, without the listed department";

    site.directory = dir.Path() + "/";
    ASSERT_TRUE(SaveDepartmentFile(site, rows, deletions));
    EXPECT_TRUE(deletions.Empty(kDepartmentEditorId));
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("C1"));
    const std::string written = tw::test::ReadAll(dir.Path() + "/MCT.XML");
    EXPECT_NE(written.find("<RecordAction type=\"delete\"/><MerchandiseCode>12</MerchandiseCode>"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find("delete"), written.rfind("delete")) << "one deletion, of 12";
    EXPECT_EQ(messages.status.Texts()[1],
              "Saving Department Maintenance File " + dir.Path() + "/MCT.XML.");

    ASSERT_TRUE(SaveDepartmentFile(site, rows, deletions));
    EXPECT_EQ(tw::test::ReadAll(dir.Path() + "/MCT.XML").find("delete"), std::string::npos);
}

TEST_F(MaintenanceSave, MixMatchFileOnDiskIsOneLineWithTheNamespacedRoot) {
    tw::test::ScratchDir other;
    other.Write("MMT.XML", "old content\n");
    site.directory = other.Path();  // without a trailing separator
    MixMatchRow row;
    row.description = "Offer";
    ASSERT_TRUE(SaveMixMatchFile(site, std::vector{row}, deletions));
    const std::string written = tw::test::ReadAll(other.File("MMT.XML"));
    EXPECT_EQ(written, BuildMixMatchDocument(site, std::vector{row}, {}).FileBytes());
    EXPECT_TRUE(written.starts_with(
        "<NAXML-MaintenanceRequest xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\""));
    EXPECT_EQ(written.find('\n'), std::string::npos);
    EXPECT_THAT(FileNames(other.Path()), ElementsAre("MMT.XML"));
}

TEST(PendingDeletionsTest, KeepsOrderAndDuplicatesPerEditor) {
    PendingDeletions deletions;
    deletions.Add(kComboEditorId, "B");
    deletions.Add(kComboEditorId, "A");
    deletions.Add(kComboEditorId, "B");
    deletions.AddIfAbsent(kComboEditorId, "A");
    deletions.AddIfAbsent(kItemListEditorId, "A");
    EXPECT_THAT(deletions.List(kComboEditorId), ElementsAre("B", "A", "B"));
    EXPECT_THAT(deletions.List(kItemListEditorId), ElementsAre("A"));
    EXPECT_TRUE(deletions.Empty(kDepartmentEditorId));
    deletions.Clear(kComboEditorId);
    EXPECT_TRUE(deletions.Empty(kComboEditorId));
    EXPECT_FALSE(deletions.Empty(kItemListEditorId));
}

}  // namespace
}  // namespace tw::naxml
