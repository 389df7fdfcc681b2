#include "history/append.h"

#include <gtest/gtest.h>

#include "core/history_fakes.h"
#include "history/history_log.h"
#include "history/prune.h"
#include "support/fake_os.h"

namespace snv::history {
namespace {

using namespace testing;

struct AppendFixture : HistoryFixture {
    os::Status append(std::string_view text = "new") {
        auto status = append_history_text(env, path, text);
        EXPECT_EQ(store.open_databases, 0) << "the database must be closed on every path";
        return status;
    }
};

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
        store.committed = c.before;
        ASSERT_TRUE(append());
        EXPECT_EQ(store.committed.size(), c.before.size() + 1);
        EXPECT_EQ(store.committed.rbegin()->first, c.expected_key);
        EXPECT_EQ(store.committed.rbegin()->second, "new");
    }
    EXPECT_TRUE(files.folders_made.contains(os::to_native("data")));
}

TEST_F(AppendFixture, FullTableDropsItsOldestInTheSameCommit) {
    store.committed = keys_from(5, 5 + kHistoryLimit - 1);
    ASSERT_TRUE(append());
    EXPECT_EQ(store.commits, 1);
    EXPECT_EQ(store.committed.size(), kHistoryLimit);
    EXPECT_EQ(store.committed.begin()->first, 6u);
    EXPECT_EQ(store.committed.rbegin()->first, 5 + kHistoryLimit);
}

TEST_F(AppendFixture, OverfullTableFromAnotherWriterIsTrimmed) {
    store.committed = keys_from(0, kHistoryLimit + 499);
    ASSERT_TRUE(append());
    EXPECT_EQ(store.committed.size(), kHistoryLimit);
    EXPECT_EQ(store.committed.begin()->first, 501u);
}

TEST_F(AppendFixture, NoKeyLeftFailsWithoutReplacingAnything) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    store.committed = {{3, "a"}, {max, "b"}};
    const Table before = store.committed;
    ASSERT_FALSE(append());
    EXPECT_EQ(store.committed, before);
    EXPECT_EQ(store.commits, 0);
}

TEST_F(AppendFixture, AnyStorageFailureStoresNothing) {
    for (const char* op : {"begin", "table", "last", "insert", "count", "remove", "commit"}) {
        SCOPED_TRACE(op);
        store.committed = keys_from(1, kHistoryLimit);  // full, so that the prune removes one
        const Table before = store.committed;
        store.fail_on = op;
        EXPECT_FALSE(append());
        EXPECT_EQ(store.committed, before);
    }
}

TEST_F(AppendFixture, FolderFailureTouchesNoFile) {
    files.fail_folders = true;
    auto status = append();
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, 5u);  // the platform's own error
    EXPECT_EQ(store.opens, 0);
}

TEST_F(AppendFixture, OpenFailureEndsTheAppend) {
    store.open_error = OpenError{OpenError::Kind::other, os::Error::own("not a redb file")};
    ASSERT_FALSE(append());
    EXPECT_EQ(files.reads, 0);  // the import never ran
}

TEST_F(AppendFixture, PathWithoutFolderCreatesNone) {
    ASSERT_TRUE(append_history_text(env, os::to_native("history.redb"), "x"));
    EXPECT_TRUE(files.folders_made.empty());
}

}  // namespace
}  // namespace snv::history

namespace snv::history {
namespace {

using namespace testing;

struct RecordFixture : HistoryFixture {
    test::FakeEnvironment environment;
    paths::DataDir data_dir{environment, files};
    HistoryLog log{store, clock, files, data_dir};
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
        store.committed.clear();
        clock.local = c.now;
        log.record_history(EntryKind::error, model::Action::lock, "x");
        ASSERT_EQ(store.committed.size(), 1u);
        EXPECT_EQ(store.committed.at(0),
                  R"({"time":")" + c.time + R"(","kind":"error","action":"lock","detail":"x"})");
    }
}

TEST_F(RecordFixture, FailureIsDropped) {
    store.open_error = OpenError{OpenError::Kind::other, os::Error::own("broken")};
    log.record_history(EntryKind::executed, model::Action::sleep, "");
    EXPECT_EQ(store.opens, 1);
    EXPECT_TRUE(store.committed.empty());
}

}  // namespace
}  // namespace snv::history
