#pragma once

#include <memory>
#include <string>
#include <vector>

#include "os/db_file.h"
#include "os/path.h"
#include "redb/error.h"
#include "redb/table.h"
#include "redb/types.h"

namespace redb {

namespace detail {
struct DatabaseState;  // the open file, its header and pages; shared by transactions
}

// A read transaction: one consistent snapshot of the database.
class ReadTransaction {
public:
    explicit ReadTransaction(std::shared_ptr<const detail::DatabaseState> state) : state_(std::move(state)) {}

    // Opens a table, checking that it was created with the declared types. Errors:
    // TableDoesNotExist, TableTypeMismatch, TableIsMultimap, Corrupted, Io.
    template <typename K, typename V>
    Result<ReadOnlyTable<K, V>> open_table(const TableSpec<K, V>& spec) const {
        auto raw = open_raw(spec.name, K::type(), V::type());
        if (!raw) return std::unexpected(raw.error());
        return ReadOnlyTable<K, V>(std::move(*raw));
    }
    Result<RawTable> open_raw(std::string_view name, const TypeSpec& key, const TypeSpec& value) const;
    struct TableName {
        std::string name;
        bool multimap = false;
    };
    // All tables (normal and multimap), in name order.
    Result<std::vector<TableName>> list_tables() const;

private:
    std::shared_ptr<const detail::DatabaseState> state_;
};

// An open database. It holds the file's exclusive lock until it is destroyed.
class Database {
public:
    // Opens the database in the file at `path`, creating the file when missing (never
    // truncating it); an empty file becomes a new database. Errors: Io (the file cannot be
    // opened), AlreadyOpen (another process holds it), NotRedb, UpgradeRequired, Corrupted.
    static Result<Database> create(const snv::os::NativePath& path);
    // The same for a file already opened.
    static Result<Database> create(std::unique_ptr<snv::os::DbFile> file);

    Result<ReadTransaction> begin_read() const;
    // Write transactions (begin_write) hang here.

    // Whether opening had to repair the file (after a crash).
    bool repaired_at_open() const;

    explicit Database(std::shared_ptr<detail::DatabaseState> state) : state_(std::move(state)) {}
    detail::DatabaseState& state() const { return *state_; }

private:
    std::shared_ptr<detail::DatabaseState> state_;
};

}  // namespace redb
