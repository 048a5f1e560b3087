#pragma once
// The back-office stand-in's item database: an SQLite file in the back-office directory.
//
// Schema (user_version 1):
//
//   CREATE TABLE items (
//       id            TEXT PRIMARY KEY NOT NULL,  -- the back-office item id ("123", "A-7")
//       upc_code      TEXT NOT NULL DEFAULT '',   -- digits without check digit, may be empty
//       upc_pack_size INTEGER NOT NULL DEFAULT 1 CHECK (upc_pack_size >= 1),
//                                                 -- units in the package the UPC code is on
//       description   TEXT NOT NULL DEFAULT '',
//       pack_size     INTEGER NOT NULL DEFAULT 1 CHECK (pack_size >= 1),
//                                                 -- units sold under the item id
//       active        INTEGER NOT NULL DEFAULT 1 CHECK (active IN (0, 1))
//   );
//
// Items are listed in the order they were first imported (rowid); re-importing an id updates
// the row in place.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace tw::backoffice {

// The database's file name in the back-office directory.
inline constexpr const char* kItemDatabaseName = "qorpost.sqlite";

struct ItemRecord {
    std::string id;
    std::string upcCode;
    std::int32_t upcPackSize = 1;
    std::string description;
    std::int32_t packSize = 1;
    bool active = true;

    friend bool operator==(const ItemRecord&, const ItemRecord&) = default;
};

// One connection to the database. Not thread-safe: one thread at a time. Several connections
// (processes) may use one file; a writer waits up to 5 seconds for another's transaction.
class ItemStore {
public:
    ~ItemStore();
    ItemStore(const ItemStore&) = delete;
    ItemStore& operator=(const ItemStore&) = delete;

    // An existing item database, read-only. nullptr with *error when the file is missing,
    // unreadable, or not an item database.
    static std::unique_ptr<ItemStore> OpenForReading(const std::string& path, std::string* error);
    // Opens the database for writing, creating the file and its table when missing.
    static std::unique_ptr<ItemStore> OpenForWriting(const std::string& path, std::string* error);

    // Every item (only the active ones when activeOnly), in listing order. False with *error.
    bool LoadItems(bool activeOnly, std::vector<ItemRecord>& items, std::string* error) const;

    // Adds or updates the items by id, in one transaction; with replace, the items not in the
    // list are removed first. On failure nothing has changed (false with *error).
    bool Import(const std::vector<ItemRecord>& items, bool replace, std::string* error);

private:
    explicit ItemStore(sqlite3* db) : db_(db) {}
    static std::unique_ptr<ItemStore> Open(const std::string& path, bool write, std::string* error);
    bool Execute(const char* sql, std::string* error);
    std::string ErrorText() const;

    sqlite3* db_;
};

}  // namespace tw::backoffice
