#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include "backoffice/import_command.h"
#include "backoffice/item_store.h"
#include "support/scratch_dir.h"

namespace tw::backoffice {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

ItemRecord Item(const std::string& id, const std::string& description, bool active = true) {
    return ItemRecord{id, "", 1, description, 1, active};
}

std::vector<std::string> Ids(const ItemStore& store, bool activeOnly = false) {
    std::vector<ItemRecord> items;
    std::string error;
    EXPECT_TRUE(store.LoadItems(activeOnly, items, &error)) << error;
    std::vector<std::string> ids;
    for (const ItemRecord& item : items) ids.push_back(item.id + ":" + item.description);
    return ids;
}

TEST(ItemStore, ImportsAddUpdateOrReplaceAndAFailedOneChangesNothing) {
    test::ScratchDir dir;
    std::string error;
    auto store = ItemStore::OpenForWriting(dir.File("qorpost.sqlite"), &error);
    ASSERT_TRUE(store) << error;

    ASSERT_TRUE(store->Import({Item("10", "Cola"), Item("9", "Chips", false)}, false, &error))
        << error;
    // Updating keeps an item's place in the listing; new items come after.
    ASSERT_TRUE(store->Import({Item("9", "Crisps", false), Item("2", "Gum")}, false, &error))
        << error;
    EXPECT_THAT(Ids(*store), ElementsAre("10:Cola", "9:Crisps", "2:Gum"));
    EXPECT_THAT(Ids(*store, true), ElementsAre("10:Cola", "2:Gum"));

    // The second item breaks the table's rules: the whole import, deletion included, is undone.
    ItemRecord broken = Item("3", "Broken");
    broken.packSize = 0;
    EXPECT_FALSE(store->Import({Item("4", "Mints"), broken}, true, &error));
    EXPECT_THAT(error, HasSubstr("item 3"));
    EXPECT_THAT(Ids(*store), ElementsAre("10:Cola", "9:Crisps", "2:Gum"));

    ASSERT_TRUE(store->Import({Item("4", "Mints")}, true, &error)) << error;
    EXPECT_THAT(Ids(*store), ElementsAre("4:Mints"));

    // A reader sees what the writer committed.
    auto reader = ItemStore::OpenForReading(dir.File("qorpost.sqlite"), &error);
    ASSERT_TRUE(reader) << error;
    EXPECT_THAT(Ids(*reader), ElementsAre("4:Mints"));
}

TEST(ItemStore, ReadingRefusesWhatIsNotAnItemDatabase) {
    test::ScratchDir dir;
    std::string error;
    EXPECT_FALSE(ItemStore::OpenForReading(dir.File("missing.sqlite"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.sqlite"))) << "reading never creates";

    dir.Write("text.sqlite", "id,description\n1,Cola\n");
    EXPECT_FALSE(ItemStore::OpenForReading(dir.File("text.sqlite"), &error));

    // A database of something else, and one from a newer version.
    auto check = [&](const std::string& name, const char* sql, const char* expected) {
        ASSERT_TRUE(ItemStore::OpenForWriting(dir.File(name), &error)) << error;
        // Reach past the store to change the file as another program might.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.File(name).c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        EXPECT_FALSE(ItemStore::OpenForReading(dir.File(name), &error)) << name;
        EXPECT_THAT(error, HasSubstr(expected)) << name;
    };
    check("dropped.sqlite", "DROP TABLE items;", "not a back-office item database");
    check("newer.sqlite", "PRAGMA user_version = 2;", "newer version");
}

TEST(ItemImportCommand, LoadsACsvFileOrNothing) {
    test::ScratchDir dir;
    const std::string csv = dir.Write("items.csv", "id,description\n1,Cola\n2,Gum\n");
    const std::string bad = dir.Write("bad.csv", "id,description\n3,Mints\n3,Twice\n");
    std::ostringstream out, err;

    EXPECT_EQ(RunItemImport({dir.Path(), csv}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "Imported 2 items into " + dir.File("qorpost.sqlite") + ".\n");

    EXPECT_EQ(RunItemImport({"--replace", dir.Path(), bad}, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("line 3: item id 3 appears twice; nothing imported."));
    std::string error;
    auto store = ItemStore::OpenForReading(dir.File("qorpost.sqlite"), &error);
    ASSERT_TRUE(store) << error;
    EXPECT_THAT(Ids(*store), ElementsAre("1:Cola", "2:Gum"));

    err.str("");
    EXPECT_EQ(RunItemImport({dir.File("nowhere"), csv}, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("is not a directory"));
    EXPECT_EQ(RunItemImport({dir.Path(), dir.File("missing.csv")}, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("cannot read"));
    EXPECT_EQ(RunItemImport({dir.Path()}, out, err), 2);
    EXPECT_EQ(RunItemImport({"--merge", dir.Path(), csv}, out, err), 2);
}

}  // namespace
}  // namespace tw::backoffice
