#include "history/redb_store.h"

#include <filesystem>
#include <utility>

#include "redb/database.h"
#include "redb/error.h"

namespace snv::history {

namespace {

constexpr redb::TableDefinition<redb::U64, redb::Str> kTable{"history"};

// The library's error as the log's error value; only success or failure matters to callers.
os::Error to_os(const redb::Error& error) {
    if (error.kind == redb::ErrorKind::Io && error.os_code != 0) {
        return os::Error::os(error.os_code, error.text);
    }
    return os::Error::own(error.to_string());
}

template <typename T>
os::Result<T> to_os(redb::Result<T> result) {
    if (!result) return std::unexpected(to_os(result.error()));
    if constexpr (std::is_void_v<T>) {
        return {};
    } else {
        return std::move(*result);
    }
}

os::Result<std::optional<std::uint64_t>> key_of(
    redb::Result<std::optional<std::pair<std::uint64_t, std::string>>> entry) {
    if (!entry) return std::unexpected(to_os(entry.error()));
    if (!*entry) return std::optional<std::uint64_t>{};
    return (*entry)->first;
}

class RedbTable final : public HistoryTable {
  public:
    explicit RedbTable(redb::Table<redb::U64, redb::Str> table) : table_(std::move(table)) {}
    os::Result<std::optional<std::uint64_t>> first_key() override { return key_of(table_.first()); }
    os::Result<std::optional<std::uint64_t>> last_key() override { return key_of(table_.last()); }
    os::Result<std::uint64_t> count() override { return to_os(table_.len()); }
    os::Status insert(std::uint64_t key, std::string_view value) override {
        return to_os(table_.insert(key, value));
    }
    os::Status remove_first() override {
        auto removed = table_.pop_first();
        if (!removed) return std::unexpected(to_os(removed.error()));
        return {};
    }

  private:
    redb::Table<redb::U64, redb::Str> table_;
};

class RedbTransaction final : public WriteTransaction {
  public:
    explicit RedbTransaction(redb::WriteTransaction txn) : txn_(std::move(txn)) {}
    os::Result<HistoryTable*> open_history_table() override {
        auto table = txn_.open_table(kTable);
        if (!table) return std::unexpected(to_os(table.error()));
        table_.emplace(std::move(*table));
        return &*table_;
    }
    os::Status commit() override { return to_os(txn_.commit()); }

  private:
    redb::WriteTransaction txn_;  // aborted on destruction unless committed
    std::optional<RedbTable> table_;
};

class RedbDatabase final : public HistoryDatabase {
  public:
    explicit RedbDatabase(redb::Database db) : db_(std::move(db)) {}

    os::Result<std::unique_ptr<WriteTransaction>> begin_write() override {
        auto txn = db_.begin_write();
        if (!txn) return std::unexpected(to_os(txn.error()));
        return std::make_unique<RedbTransaction>(std::move(*txn));
    }

  private:
    redb::Database db_;  // closed, with its final commit, on destruction
};

class RedbStore final : public HistoryStore {
  public:
    std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open(
        const os::NativePath& path) override {
        auto db = redb::Database::create(std::filesystem::path(path));
        if (!db) {
            const auto kind = db.error().kind == redb::ErrorKind::AlreadyOpen
                                  ? OpenError::Kind::already_open
                                  : OpenError::Kind::other;
            return std::unexpected(OpenError{kind, to_os(db.error())});
        }
        return std::make_unique<RedbDatabase>(std::move(*db));
    }
};

}  // namespace

HistoryStore& real_history_store() {
    static RedbStore store;
    return store;
}

}  // namespace snv::history
