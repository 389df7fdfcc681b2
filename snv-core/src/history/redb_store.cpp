#include "history/redb_store.h"

#include <utility>

#include "os/db_file.h"
#include "redb/storage.h"
#include "redb/write_session.h"

namespace snv::history {

namespace {

constexpr std::string_view kTableName = "history";

// The locked database file as the writer's storage.
class FileStorage final : public redb::Storage {
public:
    explicit FileStorage(os::DbFile& file) : file_(file) {}
    os::Result<std::uint64_t> length() override { return file_.len(); }
    os::Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        return file_.read_at(offset, out);
    }
    os::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        return file_.write_at(offset, data);
    }
    os::Status set_length(std::uint64_t length) override { return file_.set_len(length); }
    os::Status sync() override { return file_.sync(); }

private:
    os::DbFile& file_;
};

class RedbTable final : public HistoryTable {
public:
    explicit RedbTable(redb::WriteTransaction& txn) : txn_(txn) {}
    os::Result<std::optional<std::uint64_t>> first_key() override { return key_of(txn_.first()); }
    os::Result<std::optional<std::uint64_t>> last_key() override { return key_of(txn_.last()); }
    os::Result<std::uint64_t> count() override { return txn_.len(); }
    os::Status insert(std::uint64_t key, std::string_view value) override {
        return txn_.insert(key, value);
    }
    os::Status remove_first() override {
        auto removed = txn_.remove_first();
        if (!removed) return std::unexpected(removed.error());
        return {};
    }

private:
    static os::Result<std::optional<std::uint64_t>> key_of(
        os::Result<std::optional<redb::HistoryEntry>> entry) {
        if (!entry) return std::unexpected(entry.error());
        if (!*entry) return std::optional<std::uint64_t>{};
        return (*entry)->first;
    }
    redb::WriteTransaction& txn_;
};

class RedbTransaction final : public WriteTransaction {
public:
    explicit RedbTransaction(redb::WriteTransaction txn) : txn_(std::move(txn)), table_(txn_) {}
    os::Result<HistoryTable*> open_history_table() override {
        if (auto opened = txn_.open_table(kTableName); !opened) {
            return std::unexpected(opened.error());
        }
        return &table_;
    }
    os::Status commit() override { return txn_.commit(); }

private:
    redb::WriteTransaction txn_;  // abandoned on destruction unless committed
    RedbTable table_;
};

class RedbDatabase final : public HistoryDatabase {
public:
    RedbDatabase(std::unique_ptr<os::DbFile> file, std::unique_ptr<FileStorage> storage,
                 std::unique_ptr<redb::WriteSession> session)
        : file_(std::move(file)), storage_(std::move(storage)), session_(std::move(session)) {}
    // The closing commit leaves a file that the next open need not repair; the lock goes
    // with the file handle after it.
    ~RedbDatabase() override { (void)session_->close(); }

    os::Result<std::unique_ptr<WriteTransaction>> begin_write() override {
        auto txn = session_->begin_write();
        if (!txn) return std::unexpected(txn.error());
        return std::make_unique<RedbTransaction>(std::move(*txn));
    }

private:
    std::unique_ptr<os::DbFile> file_;
    std::unique_ptr<FileStorage> storage_;
    std::unique_ptr<redb::WriteSession> session_;
};

OpenError other(os::Error error) { return {OpenError::Kind::other, std::move(error)}; }

class RedbStore final : public HistoryStore {
public:
    std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open(
        const os::NativePath& path) override {
        auto file = os::open_db_file(path);
        if (!file) return std::unexpected(other(file.error()));
        auto locked = (*file)->try_lock();
        if (!locked) return std::unexpected(other(locked.error()));
        if (!*locked) {
            return std::unexpected(
                OpenError{OpenError::Kind::already_open, os::Error::own("Database already open")});
        }
        auto storage = std::make_unique<FileStorage>(**file);
        auto session = redb::WriteSession::open(*storage);
        if (!session) return std::unexpected(other(session.error()));
        return std::make_unique<RedbDatabase>(std::move(*file), std::move(storage),
                                              std::move(*session));
    }
};

}  // namespace

HistoryStore& real_history_store() {
    static RedbStore store;
    return store;
}

}  // namespace snv::history
