#pragma once

// The history log over the test kit's clock and in-memory file system, with history.redb in
// memory behind the real redb library; the storage can be made busy, broken, or to fail at
// any write, resize or sync.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_log.h"
#include "redb/storage_backend.h"
#include "support/fake_os.h"
#include "support/faulty_backend.h"
#include "support/scripted_os.h"

namespace snv::history::testing {

using namespace std::chrono_literals;
using Table = std::map<std::uint64_t, std::string>;

inline Table keys_from(std::uint64_t first, std::uint64_t last) {
    Table t;
    for (std::uint64_t k = first; k <= last; ++k) t[k] = "e" + std::to_string(k);
    return t;
}

struct HistoryFixture : ::testing::Test {
    test::ScriptedClock clock;
    test::FakeFileSystem files;
    test::FakeEnvironment environment;
    paths::DataDir data_dir{environment, files};
    const os::NativePath path = os::join(os::to_native("data"), "history.redb");

    // The bytes of history.redb.
    std::shared_ptr<redb::InMemoryBackend::Contents> bytes =
        std::make_shared<redb::InMemoryBackend::Contents>();
    int opens = 0;
    std::vector<os::MonotonicTime> open_times;
    std::optional<os::MonotonicTime> held_until;  // "already open" before this time
    bool held_forever = false;
    std::optional<redb::Error> open_error;  // any other failure to open the storage
    // Each open fails its n-th write, resize or sync (and every later one), when set.
    std::optional<std::uint64_t> stop_at;
    std::shared_ptr<test::FaultyBackend::Probe> probe;
    os::MonotonicTime per_open{0};  // what each attempt costs

    HistoryLog log{clock, files, data_dir, [this](const std::filesystem::path&) { return open(); }};

    redb::Result<std::unique_ptr<redb::StorageBackend>> open() {
        ++opens;
        open_times.push_back(clock.monotonic);
        clock.advance(per_open);
        if (open_error) return std::unexpected(*open_error);
        if (held_forever || (held_until && clock.monotonic < *held_until))
            return std::unexpected(redb::Error{redb::ErrorKind::AlreadyOpen,
                                               "Database already open. Cannot acquire lock.", 0});
        auto memory = std::make_unique<redb::InMemoryBackend>(bytes);
        if (!stop_at) return memory;
        probe = std::make_shared<test::FaultyBackend::Probe>();
        return std::make_unique<test::FaultyBackend>(std::move(memory), *stop_at, probe);
    }

    // The table as a fresh open of the file sees it.
    Table stored() {
        Table out;
        auto db = redb::Database::create(std::make_unique<redb::InMemoryBackend>(bytes));
        EXPECT_TRUE(db) << db.error().to_string();
        if (!db) return out;
        auto table = db->begin_read()->open_table(kHistoryTable);
        if (!table) return out;
        EXPECT_TRUE(table->for_each([&](const std::uint64_t& k, const std::string& v) {
            out[k] = v;
            return true;
        }));
        return out;
    }

    // Writes the table as another writer would leave it.
    void store(const Table& rows) {
        bytes->clear();
        auto db = redb::Database::create(std::make_unique<redb::InMemoryBackend>(bytes));
        ASSERT_TRUE(db);
        auto txn = db->begin_write();
        ASSERT_TRUE(txn);
        auto table = txn->open_table(kHistoryTable);
        ASSERT_TRUE(table);
        for (const auto& [k, v] : rows) ASSERT_TRUE(table->insert(k, v));
        ASSERT_TRUE(txn->commit());
    }

    os::Status append(std::string_view text = "new") { return log.append_history_text(path, text); }
};

}  // namespace snv::history::testing
