#include "history/redb_store.h"

#include <utility>

#include "redb/error.h"
#include "redb/write_session.h"

namespace snv::history {

namespace {

constexpr std::string_view kTableName = "history";

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
    redb::Result<std::optional<redb::HistoryEntry>> entry) {
    if (!entry) return std::unexpected(to_os(entry.error()));
    if (!*entry) return std::optional<std::uint64_t>{};
    return (*entry)->first;
}

class RedbTable final : public HistoryTable {
  public:
    explicit RedbTable(redb::WriteTransaction& txn) : txn_(txn) {}
    os::Result<std::optional<std::uint64_t>> first_key() override { return key_of(txn_.first()); }
    os::Result<std::optional<std::uint64_t>> last_key() override { return key_of(txn_.last()); }
    os::Result<std::uint64_t> count() override { return to_os(txn_.len()); }
    os::Status insert(std::uint64_t key, std::string_view value) override {
        return to_os(txn_.insert(key, value));
    }
    os::Status remove_first() override {
        auto removed = txn_.remove_first();
        if (!removed) return std::unexpected(to_os(removed.error()));
        return {};
    }

  private:
    redb::WriteTransaction& txn_;
};

class RedbTransaction final : public WriteTransaction {
  public:
    explicit RedbTransaction(redb::WriteTransaction txn) : txn_(std::move(txn)), table_(txn_) {}
    os::Result<HistoryTable*> open_history_table() override {
        if (auto opened = txn_.open_table(kTableName); !opened) {
            return std::unexpected(to_os(opened.error()));
        }
        return &table_;
    }
    os::Status commit() override { return to_os(txn_.commit()); }

  private:
    redb::WriteTransaction txn_;  // abandoned on destruction unless committed
    RedbTable table_;
};

class RedbDatabase final : public HistoryDatabase {
  public:
    explicit RedbDatabase(std::unique_ptr<redb::WriteSession> session)
        : session_(std::move(session)) {}
    // The closing commit leaves a file that the next open need not repair; the session
    // releases the file's lock after it.
    ~RedbDatabase() override { (void)session_->close(); }

    os::Result<std::unique_ptr<WriteTransaction>> begin_write() override {
        auto txn = session_->begin_write();
        if (!txn) return std::unexpected(to_os(txn.error()));
        return std::make_unique<RedbTransaction>(std::move(*txn));
    }

  private:
    std::unique_ptr<redb::WriteSession> session_;
};

class RedbStore final : public HistoryStore {
  public:
    std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open(
        const os::NativePath& path) override {
        auto session = redb::WriteSession::open(path);
        if (!session) {
            const auto kind = session.error().kind == redb::ErrorKind::AlreadyOpen
                                  ? OpenError::Kind::already_open
                                  : OpenError::Kind::other;
            return std::unexpected(OpenError{kind, to_os(session.error())});
        }
        return std::make_unique<RedbDatabase>(std::move(*session));
    }
};

}  // namespace

HistoryStore& real_history_store() {
    static RedbStore store;
    return store;
}

}  // namespace snv::history
