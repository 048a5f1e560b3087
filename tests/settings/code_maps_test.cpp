#include <gtest/gtest.h>

#include "settings/code_maps.h"
#include "support/replacement_watch.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using Pairs = std::vector<StringPair>;

TEST(StandardStringMapper, KeepsTheFirstValueAndLooksUpExactly) {
    StandardStringMapper map;
    map.Add("1", "10");
    map.Add("abc", "x");
    map.Add("1", "11");
    map.Add("0", "10");
    std::string value;
    ASSERT_TRUE(map.Lookup("1", value));
    EXPECT_EQ(value, "10");
    EXPECT_FALSE(map.Lookup("ABC", value)) << "keys compare with case";
    EXPECT_FALSE(map.Lookup(" 1", value));

    std::string key;
    ASSERT_TRUE(map.ReverseLookup("10", key));
    EXPECT_EQ(key, "0") << "the first key in key order";
    EXPECT_FALSE(map.ReverseLookup("X", key));
    EXPECT_EQ(map.FindKeys("10"), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(map.GetPairs(), (Pairs{{"0", "10"}, {"1", "10"}, {"abc", "x"}}));
    map.Clear();
    EXPECT_TRUE(map.GetPairs().empty());
}

TEST(StandardListStringMapper, KeepsEveryPairAndLooksUpTheLast) {
    StandardListStringMapper list;
    list.Add("7", "State");
    list.Add("3", "County");
    list.Add("7", "City");
    std::string value;
    ASSERT_TRUE(list.Lookup("7", value));
    EXPECT_EQ(value, "City");
    std::string key;
    ASSERT_TRUE(list.ReverseLookup("County", key));
    EXPECT_EQ(key, "3");
    EXPECT_EQ(list.GetPairs(), (Pairs{{"7", "State"}, {"3", "County"}, {"7", "City"}}));
}

TEST(MapFile, ReadsWindowsLinesWholeAndSkipsLinesWithoutEquals) {
    test::ScratchDir dir;
    // A line longer than any buffer the files were once read with must not be split in two.
    const std::string longValue(600, 'v');
    const std::string path = dir.Write(
        "QORDMAP.001", "1 = 10\r\n  2 =  20  \r\nno pair here\r\n3=" + longValue + "4 = 40\r\n");
    StdStringMapping map;
    ASSERT_TRUE(map.Load(path));
    EXPECT_EQ(map.FileName(), path);
    EXPECT_EQ(map.GetPairs(), (Pairs{{"1", "10"}, {"2", "20"}, {"3", longValue + "4 = 40"}}));

    EXPECT_FALSE(map.Load(dir.File("missing")));
    EXPECT_TRUE(map.GetPairs().empty()) << "a failed load leaves the mapping empty";
}

TEST(MapFile, SavesInTheMappingsOrderAndReadsBack) {
    test::ScratchDir dir;
    StdStringMapping map;
    map.Add("2", "Snacks");
    map.Add("10", "Tobacco");
    const std::string mapPath = dir.File("QORDMAP.001");
    ASSERT_TRUE(map.Save(mapPath));
    EXPECT_EQ(test::ReadAll(mapPath), "10 = Tobacco\n2 = Snacks\n");

    StdListStringMapping taxes;
    taxes.Add("7", "State");
    taxes.Add("3", "County");
    taxes.Add("7", "City");
    const std::string taxPath = dir.File("QORTMAP.001");
    ASSERT_TRUE(taxes.Save(taxPath));
    EXPECT_EQ(test::ReadAll(taxPath), "7 = State\n3 = County\n7 = City\n");
    StdListStringMapping reread;
    ASSERT_TRUE(reread.Load(taxPath));
    EXPECT_EQ(reread.GetPairs(), taxes.GetPairs());

    EXPECT_FALSE(map.Save(dir.File("no/such/dir/QORDMAP.001")));
}

TEST(MapFile, SavingReplacesTheFileNeverWritesIntoIt) {
    using Via = test::ReplacementWatch::Via;
    test::ScratchDir dir;
    for (const Via via : {Via::Descriptor, Via::SymbolicLink}) {
        const std::string path = dir.Write("QORDMAP.001", "2 = Snacks\n");
        test::ReplacementWatch watch(path, via);
        StdStringMapping map;
        map.Add("10", "Tobacco");
        ASSERT_TRUE(map.Save(path));
        EXPECT_TRUE(watch.Replaced());
        EXPECT_EQ(test::ReadAll(path), "10 = Tobacco\n");
    }
}

}  // namespace
}  // namespace tw
