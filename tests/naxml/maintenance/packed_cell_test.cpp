#include "naxml/maintenance/packed_cell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tw::naxml {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(PackedCell, CursorTakesFieldsUpToEachSeparatorAndTheRestAtTheEnd) {
    PackedCellCursor cursor("a;;b;tail");
    EXPECT_EQ(cursor.Next(), "a");
    EXPECT_EQ(cursor.Next(), "");
    EXPECT_EQ(cursor.Next(), "b");
    EXPECT_EQ(cursor.Next(), "tail");
    EXPECT_TRUE(cursor.AtEnd());
    EXPECT_EQ(cursor.Next(), "");  // past the end every field is empty
}

TEST(PackedCell, SplitCompletesAShortLastGroupAndKeepsEveryGroup) {
    EXPECT_THAT(SplitPackedCell("", 3), IsEmpty());
    EXPECT_THAT(SplitPackedCell("a;b;c;d;", 3),
                ElementsAre(ElementsAre("a", "b", "c"), ElementsAre("d", "", "")));
    // Text typed without the last separator still counts.
    EXPECT_THAT(SplitPackedCell("a;b", 2), ElementsAre(ElementsAre("a", "b")));
    // Empty groups are groups: the writers decide what to skip.
    EXPECT_THAT(SplitPackedCell(";;;;", 2), ElementsAre(ElementsAre("", ""), ElementsAre("", "")));

    std::string many;
    for (int i = 0; i < 100; ++i) many += std::to_string(i) + ";x;";
    const auto groups = SplitPackedCell(many, 2);
    ASSERT_EQ(groups.size(), 100u);
    EXPECT_THAT(groups.back(), ElementsAre("99", "x"));
}

TEST(PackedCell, PackTerminatesEveryFieldAndSplitsBack) {
    const std::vector<PackedGroup> groups{{"L1", "", "each"}, {"", "", ""}, {"L2", "2", ""}};
    const std::string cell = PackCell(groups);
    EXPECT_EQ(cell, "L1;;each;;;;L2;2;;");
    EXPECT_EQ(SplitPackedCell(cell, 3), groups);
}

}  // namespace
}  // namespace tw::naxml
