#include "backoffice/item_store.h"

#include <sqlite3.h>

namespace tw::backoffice {
namespace {

constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kCreateSchema =
    "CREATE TABLE IF NOT EXISTS items ("
    " id TEXT PRIMARY KEY NOT NULL,"
    " upc_code TEXT NOT NULL DEFAULT '',"
    " upc_pack_size INTEGER NOT NULL DEFAULT 1 CHECK (upc_pack_size >= 1),"
    " description TEXT NOT NULL DEFAULT '',"
    " pack_size INTEGER NOT NULL DEFAULT 1 CHECK (pack_size >= 1),"
    " active INTEGER NOT NULL DEFAULT 1 CHECK (active IN (0, 1)));";

// Finalizes a prepared statement on every path out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return rc_ == SQLITE_OK && stmt_; }
    sqlite3_stmt* Get() const { return stmt_; }

    bool BindText(int index, const std::string& text) {
        return sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    bool BindInt(int index, std::int64_t value) {
        return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
    }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? std::string(text,
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

std::int32_t ClampToLong(sqlite3_int64 value) {
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

ItemStore::~ItemStore() {
    sqlite3_close_v2(db_);
}

std::string ItemStore::ErrorText() const {
    return sqlite3_errmsg(db_);
}

bool ItemStore::Execute(const char* sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : ErrorText();
    sqlite3_free(message);
    return false;
}

std::unique_ptr<ItemStore> ItemStore::Open(const std::string& path, bool write,
                                           std::string* error) {
    sqlite3* db = nullptr;
    const int flags = (write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    std::unique_ptr<ItemStore> store(new ItemStore(db));  // closes db on every path out
    if (rc != SQLITE_OK) {
        if (error)
            *error = db ? store->ErrorText() : sqlite3_errstr(rc);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);

    Statement version(db, "PRAGMA user_version;");
    if (!version.Prepared() || sqlite3_step(version.Get()) != SQLITE_ROW) {
        // A file that is not an SQLite database fails here ("file is not a database").
        if (error)
            *error = store->ErrorText();
        return nullptr;
    }
    const int found = sqlite3_column_int(version.Get(), 0);
    if (found > kSchemaVersion) {
        if (error)
            *error = "the item database was made by a newer version of the back office";
        return nullptr;
    }
    if (write && found < kSchemaVersion) {
        const std::string create = std::string("BEGIN IMMEDIATE;") + kCreateSchema +
                                   "PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                                   ";COMMIT;";
        if (!store->Execute(create.c_str(), error)) {
            store->Execute("ROLLBACK;", nullptr);
            return nullptr;
        }
    }
    Statement probe(db,
                    "SELECT id, upc_code, upc_pack_size, description, pack_size, active "
                    "FROM items LIMIT 0;");
    if (!probe.Prepared()) {
        if (error)
            *error = "not a back-office item database (" + store->ErrorText() + ")";
        return nullptr;
    }
    return store;
}

std::unique_ptr<ItemStore> ItemStore::OpenForReading(const std::string& path, std::string* error) {
    return Open(path, false, error);
}

std::unique_ptr<ItemStore> ItemStore::OpenForWriting(const std::string& path, std::string* error) {
    return Open(path, true, error);
}

bool ItemStore::LoadItems(bool activeOnly, std::vector<ItemRecord>& items,
                          std::string* error) const {
    items.clear();
    Statement select(
        db_, activeOnly ? "SELECT id, upc_code, upc_pack_size, description, pack_size, active "
                          "FROM items WHERE active <> 0 ORDER BY rowid;"
                        : "SELECT id, upc_code, upc_pack_size, description, pack_size, active "
                          "FROM items ORDER BY rowid;");
    if (!select.Prepared()) {
        if (error)
            *error = ErrorText();
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(select.Get())) == SQLITE_ROW) {
        ItemRecord item;
        item.id = select.Text(0);
        item.upcCode = select.Text(1);
        item.upcPackSize = ClampToLong(sqlite3_column_int64(select.Get(), 2));
        item.description = select.Text(3);
        item.packSize = ClampToLong(sqlite3_column_int64(select.Get(), 4));
        item.active = sqlite3_column_int64(select.Get(), 5) != 0;
        items.push_back(std::move(item));
    }
    if (rc != SQLITE_DONE) {
        if (error)
            *error = ErrorText();
        items.clear();
        return false;
    }
    return true;
}

bool ItemStore::Import(const std::vector<ItemRecord>& items, bool replace, std::string* error) {
    if (!Execute("BEGIN IMMEDIATE;", error))
        return false;
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        Execute("ROLLBACK;", nullptr);
        return false;
    };
    if (replace && !Execute("DELETE FROM items;", error))
        return fail(error ? *error : "");
    Statement upsert(
        db_,
        "INSERT INTO items (id, upc_code, upc_pack_size, description, pack_size, active) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
        "ON CONFLICT(id) DO UPDATE SET upc_code = excluded.upc_code, "
        "upc_pack_size = excluded.upc_pack_size, description = excluded.description, "
        "pack_size = excluded.pack_size, active = excluded.active;");
    if (!upsert.Prepared())
        return fail(ErrorText());
    for (const ItemRecord& item : items) {
        sqlite3_reset(upsert.Get());
        if (!upsert.BindText(1, item.id) || !upsert.BindText(2, item.upcCode) ||
            !upsert.BindInt(3, item.upcPackSize) || !upsert.BindText(4, item.description) ||
            !upsert.BindInt(5, item.packSize) || !upsert.BindInt(6, item.active ? 1 : 0) ||
            sqlite3_step(upsert.Get()) != SQLITE_DONE) {
            return fail("item " + item.id + ": " + ErrorText());
        }
    }
    if (!Execute("COMMIT;", error))
        return fail(error ? *error : "");
    return true;
}

}  // namespace tw::backoffice
