#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backoffice/item_csv.h"

namespace tw::backoffice {
namespace {

using ::testing::HasSubstr;

TEST(ItemCsv, ReadsASpreadsheetExport) {
    // A byte order mark, CR LF, columns in another order and case, a blank line, quoted cells
    // with commas, doubled quotes and a line break, and missing cells taking the defaults.
    const std::string text =
        "\xEF\xBB\xBF"
        "Description,ID,upc_code,UPC_Pack_Size,Active\r\n"
        "\"Cola, 12 oz\",123, 01234567890 ,1,yes\r\n"
        "\r\n"
        "\"Say \"\"cheese\"\"\nsnack\",A-7,,,N\r\n"
        "Plain,  99  ,049000028911,6,\r\n";
    std::vector<ItemRecord> items;
    std::string error;
    ASSERT_TRUE(ParseItemCsv(text, items, &error)) << error;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], (ItemRecord{"123", "01234567890", 1, "Cola, 12 oz", 1, true}));
    EXPECT_EQ(items[1], (ItemRecord{"A-7", "", 1, "Say \"cheese\"\nsnack", 1, false}));
    EXPECT_EQ(items[2], (ItemRecord{"99", "049000028911", 6, "Plain", 1, true}));

    // A file with only the header imports nothing, successfully.
    ASSERT_TRUE(ParseItemCsv("id\n", items, &error));
    EXPECT_TRUE(items.empty());
}

TEST(ItemCsv, RefusesADamagedExportNamingTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        // What a spreadsheet does to a long number.
        {"id,UPC_code\n1,012345678905\n2,1.23457E+11\n", "line 3: UPC code \"1.23457E+11\""},
        {"id,UPC_code\n1,123456789012345\n", "line 2: UPC code"},
        {"id\n7\n8\n7\n", "line 4: item id 7 appears twice"},
        {"id,price\n1,2\n", "line 1: unknown column \"price\""},
        {"id,ID\n1,2\n", "line 1: column \"ID\" appears twice"},
        {"description\nCola\n", "line 1: the header has no \"id\" column"},
        {"id,description\n1,Cola,extra\n", "line 2: 3 fields where the header has 2"},
        {"id,description\n,Cola\n", "line 2: the item has no id"},
        {"id,pack_size\n1,0\n", "line 2: pack size \"0\""},
        {"id,pack_size\n1,6.0\n", "line 2: pack size \"6.0\""},
        {"id,UPC_pack_size\n1,-2\n", "line 2: UPC pack size \"-2\""},
        {"id,active\n1,maybe\n", "line 2: active \"maybe\""},
        {"id,description\n1,\"open\n2,x\n", "line 2: a quoted field is not closed"},
        {"id,description\n1,\"Cola\" Light\n", "line 2: text after a closing quote"},
        {"\n\n", "the file has no header line"},
    };
    for (const Case& c : cases) {
        std::vector<ItemRecord> items = {ItemRecord{"left", "", 1, "", 1, true}};
        std::string error;
        EXPECT_FALSE(ParseItemCsv(c.text, items, &error)) << c.text;
        EXPECT_THAT(error, HasSubstr(c.error)) << c.text;
        EXPECT_TRUE(items.empty()) << "a refused file gives no items at all";
    }
}

}  // namespace
}  // namespace tw::backoffice
