#include <gtest/gtest.h>

#include "support/faulty_backend.h"
#include "support/redb_files.h"

namespace {

using namespace snv::test;

std::unique_ptr<redb::StorageBackend> file_backend(const std::string& path) {
    auto backend = redb::open_file_backend(native(path));
    EXPECT_TRUE(backend) << backend.error().to_string();
    return backend ? std::move(*backend) : nullptr;
}

// One append in its own open and close, as the history log makes it.
redb::Status append_alone(std::unique_ptr<redb::StorageBackend> backend, const std::string& text) {
    auto db = redb::Database::create(std::move(backend));
    if (!db) return std::unexpected(db.error());
    if (auto r = append_one(*db, text); !r) return r;
    return db->close();
}

struct CrashCase {
    const char* fixture;
    bool lose_unsynced;
};

class OracleCrashDuringAppend : public ::testing::TestWithParam<CrashCase> {};

// The append stops at each write, resize and sync in turn; whatever is on disk then must read
// as the table before or after the append, for redb and for this library.
TEST_P(OracleCrashDuringAppend, LeavesTheOldOrTheNewTable) {
    std::string name = std::string(GetParam().fixture) + (GetParam().lose_unsynced ? "-lost" : "");
    for (char& c : name)
        if (c == ':') c = '_';
    const std::string base = scratch_path("crash-base-" + name + ".redb");
    const std::string work = scratch_path("crash-work-" + name + ".redb");
    ASSERT_EQ(0, oracle_fixture(GetParam().fixture, base));
    // A clean file written by this library is the starting point.
    ASSERT_TRUE(append_alone(file_backend(base), "first"));
    OracleDump before = oracle_dump(base);
    ASSERT_EQ(0, before.exit_code);
    auto after_history = before.history;
    after_history.emplace_back(after_history.back().first + 1, "crashed append");
    while (after_history.size() > 10000) after_history.erase(after_history.begin());

    bool completed = false;
    int seen_after = 0;
    int steps = 0;
    for (std::uint64_t stop = 1; !completed && stop < 500; ++stop, ++steps) {
        copy_file(base, work);
        auto probe = std::make_shared<FaultyBackend::Probe>();
        auto r = append_alone(std::make_unique<FaultyBackend>(file_backend(work), stop, probe,
                                                              GetParam().lose_unsynced),
                              "crashed append");
        completed = !probe->stopped;
        if (completed) {
            ASSERT_TRUE(r) << r.error().to_string();
        }

        std::string out;
        ASSERT_EQ(0, oracle_check(work, true, &out)) << "stopped at step " << stop << ": " << out;
        OracleDump d = oracle_dump(work);
        ASSERT_EQ(0, d.exit_code) << d.text;
        const bool is_before = d.history == before.history, is_after = d.history == after_history;
        ASSERT_TRUE(is_before || is_after) << "stopped at step " << stop;
        if (completed) {
            EXPECT_TRUE(is_after);
        }
        seen_after += is_after;

        // This library reads the same state (repairing the file as redb would).
        auto db = redb::Database::create(native(work));
        ASSERT_TRUE(db) << db.error().to_string();
        auto txn = db->begin_read();
        ASSERT_TRUE(txn);
        auto table = txn->open_table(kHistoryTable);
        ASSERT_TRUE(table);
        auto last = table->last();
        auto first = table->first();
        ASSERT_TRUE(last && first);
        EXPECT_EQ(d.history.size(), table->len());
        ASSERT_TRUE(*last && *first);
        EXPECT_EQ(d.history.back(), **last);
        EXPECT_EQ(d.history.front(), **first);
        ASSERT_TRUE(db->close());
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(seen_after, 0);
    std::printf("%s: %d stopping points\n", name.c_str(), steps);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OracleCrashDuringAppend,
                         ::testing::Values(CrashCase{"history:30:0", false},
                                           CrashCase{"big:400", false},
                                           CrashCase{"history:10000:5", false},
                                           CrashCase{"history:30:0", true},
                                           CrashCase{"history:10000:5", true}));

// A crash while a new file is being laid out, at every step of it: the next open makes a
// database of it (the real library's own check passes), whatever step it stopped at.
TEST(OracleCrashDuringCreation, TheNextOpenMakesADatabaseOfTheFile) {
    const std::string work = scratch_path("crash-create.redb");
    bool completed = false;
    for (std::uint64_t stop = 1; !completed && stop < 100; ++stop) {
        remove_file(work);
        auto probe = std::make_shared<FaultyBackend::Probe>();
        (void)append_alone(std::make_unique<FaultyBackend>(file_backend(work), stop, probe, true),
                           "first");
        completed = !probe->stopped;
        auto db = redb::Database::create(native(work));
        ASSERT_TRUE(db) << "stopped at step " << stop << ": " << db.error().to_string();
        ASSERT_TRUE(append_one(*db, "next"));
        ASSERT_TRUE(db->close());
        std::string out;
        ASSERT_EQ(0, oracle_check(work, false, &out)) << "stopped at step " << stop << ": " << out;
        OracleDump d = oracle_dump(work);
        ASSERT_FALSE(d.history.empty());
        EXPECT_EQ(d.history.back().second, "next");
    }
    EXPECT_TRUE(completed);
}

}  // namespace
