#pragma once

// In-memory stand-ins for the history log's store, clock and files, with failures on demand.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "history/append.h"
#include "history/store.h"
#include "os/clock.h"
#include "os/file_system.h"

namespace snv::history::testing {

using namespace std::chrono_literals;

// Time moves only when the code sleeps, or by `per_reading` at each reading.
class FakeClock : public os::Clock {
  public:
    os::MonotonicTime now{1'000'000'000};
    os::MonotonicTime per_reading{0};
    os::LocalTime local;
    int sleeps = 0;

    os::MonotonicTime monotonic_now() override {
        now += per_reading;
        return now;
    }
    os::LocalTime local_now() override { return local; }
    void sleep_for(std::chrono::nanoseconds d) override {
        ++sleeps;
        now += d;
    }
};

using Table = std::map<std::uint64_t, std::string>;

// One database file. `fail_on` names the operation that fails next ("begin", "table",
// "first", "last", "count", "insert", "remove", "commit"); `fail_after` lets that many calls
// of it succeed first.
class FakeStore : public HistoryStore {
  public:
    Table committed;
    int commits = 0;
    int opens = 0;
    int open_databases = 0;
    std::optional<os::MonotonicTime> held_until;  // "already open" before this time
    bool held_forever = false;
    std::optional<OpenError> open_error;  // any other open failure
    std::string fail_on;
    int fail_after = 0;
    FakeClock* clock = nullptr;
    std::vector<os::MonotonicTime> open_times;

    std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open(const os::NativePath&) override;

    bool should_fail(const std::string& op) {
        if (op != fail_on) return false;
        if (fail_after > 0) {
            --fail_after;
            return false;
        }
        return true;
    }
};

inline os::Error injected(const std::string& op) {
    return os::Error::own("injected " + op);
}

class FakeTable : public HistoryTable {
  public:
    FakeTable(FakeStore& store, Table rows) : store_(store), rows(std::move(rows)) {}
    os::Result<std::optional<std::uint64_t>> first_key() override {
        if (store_.should_fail("first")) return std::unexpected(injected("first"));
        if (rows.empty()) return std::optional<std::uint64_t>{};
        return rows.begin()->first;
    }
    os::Result<std::optional<std::uint64_t>> last_key() override {
        if (store_.should_fail("last")) return std::unexpected(injected("last"));
        if (rows.empty()) return std::optional<std::uint64_t>{};
        return rows.rbegin()->first;
    }
    os::Result<std::uint64_t> count() override {
        if (store_.should_fail("count")) return std::unexpected(injected("count"));
        return rows.size();
    }
    os::Status insert(std::uint64_t key, std::string_view value) override {
        if (store_.should_fail("insert")) return std::unexpected(injected("insert"));
        if (rows.contains(key)) replaced.insert(key);
        rows[key] = std::string(value);
        return {};
    }
    os::Status remove_first() override {
        if (store_.should_fail("remove")) return std::unexpected(injected("remove"));
        if (!rows.empty()) rows.erase(rows.begin());
        return {};
    }

    std::set<std::uint64_t> replaced;

  private:
    FakeStore& store_;

  public:
    Table rows;
};

class FakeTransaction : public WriteTransaction {
  public:
    explicit FakeTransaction(FakeStore& store) : store_(store) {}
    os::Result<HistoryTable*> open_history_table() override {
        if (store_.should_fail("table")) return std::unexpected(injected("table"));
        if (!table_) table_ = std::make_unique<FakeTable>(store_, store_.committed);
        return table_.get();
    }
    os::Status commit() override {
        if (store_.should_fail("commit")) return std::unexpected(injected("commit"));
        if (table_) {
            EXPECT_TRUE(table_->replaced.empty()) << "a stored entry was replaced";
            store_.committed = table_->rows;
        }
        ++store_.commits;
        return {};
    }

  private:
    FakeStore& store_;
    std::unique_ptr<FakeTable> table_;
};

class FakeDatabase : public HistoryDatabase {
  public:
    explicit FakeDatabase(FakeStore& store) : store_(store) { ++store_.open_databases; }
    ~FakeDatabase() override { --store_.open_databases; }
    os::Result<std::unique_ptr<WriteTransaction>> begin_write() override {
        if (store_.should_fail("begin")) return std::unexpected(injected("begin"));
        return std::make_unique<FakeTransaction>(store_);
    }

  private:
    FakeStore& store_;
};

inline std::expected<std::unique_ptr<HistoryDatabase>, OpenError> FakeStore::open(
    const os::NativePath&) {
    ++opens;
    if (clock) open_times.push_back(clock->now);
    if (open_error) return std::unexpected(*open_error);
    if (held_forever || (held_until && clock && clock->now < *held_until)) {
        return std::unexpected(
            OpenError{OpenError::Kind::already_open, os::Error::own("Database already open")});
    }
    return std::make_unique<FakeDatabase>(*this);
}

class FakeFiles : public os::FileSystem {
  public:
    std::map<os::NativePath, std::string> files;
    std::set<os::NativePath> folders_made;
    bool fail_read = false, fail_remove = false, fail_folders = false;
    int reads = 0;

    os::Result<std::string> read_file(const os::NativePath& path) override {
        ++reads;
        auto it = files.find(path);
        if (fail_read || it == files.end()) return std::unexpected(os::Error::os(2, "not found"));
        return it->second;
    }
    os::Status remove_file(const os::NativePath& path) override {
        if (fail_remove) return std::unexpected(os::Error::os(5, "Access is denied."));
        files.erase(path);
        return {};
    }
    os::Status create_folder_all(const os::NativePath& path) override {
        if (fail_folders) return std::unexpected(os::Error::os(5, "Access is denied."));
        folders_made.insert(path);
        return {};
    }
    // The history log never writes or renames files itself.
    os::Status write_file(const os::NativePath&, std::string_view) override { return unused(); }
    os::Status replace_file(const os::NativePath&, const os::NativePath&) override {
        return unused();
    }
    os::Status overwrite_file(const os::NativePath&, std::string_view) override { return unused(); }
    os::Result<os::Metadata> metadata(const os::NativePath&) override {
        return std::unexpected(unused().error());
    }
    std::optional<os::FileTime> last_write(const os::NativePath&) override {
        (void)unused();
        return std::nullopt;
    }
    os::Status copy_file_new(const os::NativePath&, const os::NativePath&) override {
        return unused();
    }
    os::Status set_folder_creation_time(const os::NativePath&, os::FileTime) override {
        return unused();
    }

  private:
    static os::Status unused() {
        ADD_FAILURE() << "unexpected file operation";
        return std::unexpected(os::Error::own("unexpected"));
    }
};

// A fake store, clock and files wired together, with the database at data/history.redb.
struct HistoryFixture : ::testing::Test {
    FakeClock clock;
    FakeStore store;
    FakeFiles files;
    HistoryEnv env{store, clock, files};
    const os::NativePath path = os::join(os::to_native("data"), "history.redb");
    HistoryFixture() { store.clock = &clock; }
};

inline Table keys_from(std::uint64_t first, std::uint64_t last) {
    Table t;
    for (std::uint64_t k = first; k <= last; ++k) t[k] = "e" + std::to_string(k);
    return t;
}

}  // namespace snv::history::testing
