#include <gtest/gtest.h>

#include "core/history_fixture.h"

namespace snv::history {
namespace {

using namespace testing;

using OpenFixture = HistoryFixture;

TEST_F(OpenFixture, FreeFileOpensAtOnce) {
    const auto start = clock.monotonic;
    auto db = log.open_history_db(path);
    ASSERT_TRUE(db);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(clock.monotonic, start);  // no sleep
}

TEST_F(OpenFixture, WaitsWhileHeldAndOpensAtFirstAttemptAfterRelease) {
    held_until = clock.monotonic + 1000ms + 5ms;
    auto db = log.open_history_db(path);
    ASSERT_TRUE(db);
    // Attempts every 20 ms: the one at 1020 ms is the first after the release at 1005 ms.
    EXPECT_EQ(opens, 52);
    EXPECT_EQ(open_times.back() - open_times.front(), 1020ms);
}

TEST_F(OpenFixture, GivesUpAfterThreeSeconds) {
    held_forever = true;
    per_open = 1ms;  // every attempt costs a little time, as a real one does
    auto db = log.open_history_db(path);
    ASSERT_FALSE(db);
    EXPECT_EQ(db.error().kind, redb::ErrorKind::AlreadyOpen);
    const auto span = open_times.back() - open_times.front();
    EXPECT_LT(span, 3000ms + 20ms + 2ms);
    EXPECT_GE(span, 3000ms - 40ms);
    // The end of the last attempt is at or past the patience, the one before it was not.
    EXPECT_GE(clock.monotonic - open_times.front(), 3000ms);
}

TEST_F(OpenFixture, OtherErrorsReturnAtOnce) {
    const std::pair<const char*, std::optional<redb::Error>> cases[] = {
        {"storage", redb::Error::io("Access is denied.", 5)},
        {"not a database", std::nullopt},
    };
    for (const auto& [name, error] : cases) {
        SCOPED_TRACE(name);
        opens = 0;
        open_error = error;
        *bytes = {'n', 'o', 't', ' ', 'r', 'e', 'd', 'b'};
        const auto start = clock.monotonic;
        auto db = log.open_history_db(path);
        ASSERT_FALSE(db);
        EXPECT_NE(db.error().kind, redb::ErrorKind::AlreadyOpen);
        EXPECT_EQ(opens, 1);
        EXPECT_EQ(clock.monotonic, start);
    }
}

using AppendFixture = HistoryFixture;

TEST_F(AppendFixture, KeysFollowTheLargestKey) {
    struct Case {
        Table before;
        std::uint64_t expected_key;
    } cases[] = {
        {{}, 0},
        {keys_from(0, 0), 1},
        {keys_from(7, 41), 42},
    };
    for (const Case& c : cases) {
        store(c.before);
        ASSERT_TRUE(append());
        const Table after = stored();
        EXPECT_EQ(after.size(), c.before.size() + 1);
        EXPECT_EQ(after.rbegin()->first, c.expected_key);
        EXPECT_EQ(after.rbegin()->second, "new");
    }
    EXPECT_EQ(files.count("create data"), std::size(cases));
}

TEST_F(AppendFixture, FullTableDropsItsOldestInTheSameCommit) {
    store(keys_from(5, 5 + kHistoryLimit - 1));
    ASSERT_TRUE(append());
    const Table after = stored();
    EXPECT_EQ(after.size(), kHistoryLimit);
    EXPECT_EQ(after.begin()->first, 6u);
    EXPECT_EQ(after.rbegin()->first, 5 + kHistoryLimit);
}

TEST_F(AppendFixture, OverfullTableFromAnotherWriterIsTrimmed) {
    store(keys_from(0, kHistoryLimit + 499));
    ASSERT_TRUE(append());
    const Table after = stored();
    EXPECT_EQ(after.size(), kHistoryLimit);
    EXPECT_EQ(after.begin()->first, 501u);
}

TEST_F(AppendFixture, NoKeyLeftFailsWithoutReplacingAnything) {
    const Table before = {{3, "a"}, {std::numeric_limits<std::uint64_t>::max(), "b"}};
    store(before);
    ASSERT_FALSE(append());
    EXPECT_EQ(stored(), before);
}

// The append stopped at every write, resize and sync in turn: a successful append stores its
// entry; a failed one stores nothing, unless it failed at the commit's last sync, when the
// entry may already be on the disk. The insert and its prune are never seen apart.
TEST_F(AppendFixture, AnyStorageFailureStoresNothing) {
    const Table before = keys_from(1, kHistoryLimit);  // full, so that the prune removes one
    Table after = before;
    after.erase(after.begin());
    after[kHistoryLimit + 1] = "new";
    store(before);
    const auto original = *bytes;
    int failed = 0;
    bool completed = false;
    for (std::uint64_t stop = 1; !completed && stop < 100; ++stop) {
        SCOPED_TRACE(stop);
        *bytes = original;
        stop_at = stop;
        const bool appended = bool(append());
        completed = !probe->stopped;
        stop_at.reset();
        const Table now = stored();
        if (appended) {
            EXPECT_EQ(now, after);
        } else {
            EXPECT_TRUE(now == before || now == after);
            failed += now == before;
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(failed, 0);
}

TEST_F(AppendFixture, FolderFailureTouchesNoFile) {
    files.before = [](const std::string& call) -> os::Status {
        if (call.starts_with("create"))
            return std::unexpected(os::Error::os(5, "Access is denied."));
        return {};
    };
    auto status = append();
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, 5u);  // the platform's own error
    EXPECT_EQ(opens, 0);
}

TEST_F(AppendFixture, OpenFailureEndsTheAppend) {
    open_error = redb::Error{redb::ErrorKind::NotRedb, "not a redb file", 0};
    ASSERT_FALSE(append());
    EXPECT_EQ(files.count("read"), 0u);  // the import never ran
}

TEST_F(AppendFixture, PathWithoutFolderCreatesNone) {
    ASSERT_TRUE(log.append_history_text(os::to_native("history.redb"), "x"));
    EXPECT_EQ(files.count("create"), 0u);
}

struct RecordFixture : HistoryFixture {
    RecordFixture() { data_dir.set(os::to_native("data")); }
};

TEST_F(RecordFixture, TimeIsTruncatedToWholeSeconds) {
    struct Case {
        os::LocalTime now;
        std::string time;
    } cases[] = {
        {{2026, 3, 14, 22, 0, 5, 400'000'000}, "2026-03-14T22:00:05"},
        {{2026, 12, 31, 23, 59, 59, 999'999'999}, "2026-12-31T23:59:59"},
        {{2026, 2, 1, 9, 5, 0, 0}, "2026-02-01T09:05:00"},
    };
    for (const Case& c : cases) {
        bytes->clear();
        clock.local = c.now;
        log.record_history(EntryKind::error, model::Action::lock, "x");
        const Table after = stored();
        ASSERT_EQ(after.size(), 1u);
        EXPECT_EQ(after.at(0),
                  R"({"time":")" + c.time + R"(","kind":"error","action":"lock","detail":"x"})");
    }
}

TEST_F(RecordFixture, FailureIsDropped) {
    open_error = redb::Error{redb::ErrorKind::Corrupted, "broken", 0};
    log.record_history(EntryKind::executed, model::Action::sleep, "");
    EXPECT_EQ(opens, 1);
    open_error.reset();
    EXPECT_TRUE(stored().empty());
}

}  // namespace
}  // namespace snv::history
