#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "redb/error.h"
#include "redb/storage_backend.h"
#include "redb/table.h"
#include "redb/types.h"

namespace redb {

namespace detail {
class DatabaseCore;  // the backend, its pages and the state of the open database
struct ReadState;    // one read transaction's snapshot
}  // namespace detail

// A read transaction: one consistent snapshot of the database. It keeps the database alive.
class ReadTransaction {
  public:
    explicit ReadTransaction(std::shared_ptr<const detail::ReadState> state)
        : state_(std::move(state)) {}

    // Opens a table, checking that it was created with the declared types. Errors:
    // TableDoesNotExist, TableTypeMismatch, TableIsMultimap, Corrupted, Io.
    template <typename K, typename V>
    Result<ReadOnlyTable<K, V>> open_table(const TableDefinition<K, V>& definition) const {
        auto raw = open_raw(definition.name, K::type(), V::type());
        if (!raw) return std::unexpected(raw.error());
        return ReadOnlyTable<K, V>(std::move(*raw));
    }
    Result<RawReadOnlyTable> open_raw(std::string_view name, const TypeSpec& key,
                                      const TypeSpec& value) const;

    struct TableName {
        std::string name;
        bool multimap = false;
    };
    // All tables (normal and multimap), in name order.
    Result<std::vector<TableName>> list_tables() const;

  private:
    std::shared_ptr<const detail::ReadState> state_;
};

// A write transaction. Dropping it without commit aborts it: nothing of it reaches the file.
// It keeps the database alive, so a database dropped first closes when the transaction ends.
class WriteTransaction {
  public:
    explicit WriteTransaction(std::shared_ptr<detail::WriteState> state);
    WriteTransaction(WriteTransaction&&) noexcept = default;
    WriteTransaction& operator=(WriteTransaction&& other) noexcept;
    ~WriteTransaction();

    // Opens the table, creating it when missing; a stored table of other types, or a multimap
    // table, is an error.
    template <typename K, typename V>
    Result<Table<K, V>> open_table(const TableDefinition<K, V>& definition) {
        auto raw = open_raw(definition.name, K::type(), V::type());
        if (!raw) return std::unexpected(raw.error());
        return Table<K, V>(std::move(*raw));
    }
    Result<RawTable> open_raw(std::string_view name, const TypeSpec& key, const TypeSpec& value);

    // Makes the changes durable (redb's default one-phase commit).
    Status commit();
    void abort();

  private:
    std::shared_ptr<detail::WriteState> state_;
};

// An open database. Opening takes the backend's lock (a file backend's), initializes a new
// database in an empty file and repairs one that was not closed cleanly. Dropping it closes it
// as redb's does: a final commit that stores the allocator state and gives the free pages at
// the end of the file back, so that the next open needs no repair.
class Database {
  public:
    // Errors: Io (the file cannot be opened), AlreadyOpen (another handle holds its lock),
    // NotRedb, UpgradeRequired, Corrupted.
    static Result<Database> create(const std::filesystem::path& path);
    static Result<Database> create(std::unique_ptr<StorageBackend> backend);

    Database(Database&&) noexcept = default;
    Database& operator=(Database&&) noexcept = default;
    ~Database();

    Result<ReadTransaction> begin_read() const;
    // One at a time: TransactionInProgress while another is running.
    Result<WriteTransaction> begin_write();

    // The clean close, with its outcome; a running write transaction is aborted. Afterwards
    // every transaction fails with TransactionEnded.
    Status close();

    // Whether opening had to repair the file (after a crash).
    bool repaired_at_open() const;

  private:
    explicit Database(std::shared_ptr<detail::DatabaseCore> core) : core_(std::move(core)) {}
    std::shared_ptr<detail::DatabaseCore> core_;
};

}  // namespace redb
