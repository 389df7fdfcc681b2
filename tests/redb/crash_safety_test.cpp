#include <gtest/gtest.h>

#include "test_files.h"

namespace {

using namespace snv::test;

// One append in its own session, as the history log makes it: open, insert under the last key
// plus one, prune to 10000, commit, close.
redb::Status append_session(std::unique_ptr<snv::os::DbFile> file, const std::string& text) {
    auto session = redb::WriteSession::open(std::move(file));
    if (!session) return std::unexpected(session.error());
    auto txn = (*session)->begin_write();
    if (!txn) return std::unexpected(txn.error());
    if (auto r = txn->open_table("history"); !r) return r;
    auto last = txn->last();
    if (!last) return std::unexpected(last.error());
    if (auto r = txn->insert(*last ? (*last)->first + 1 : 0, text); !r) return r;
    for (auto n = txn->len(); n && *n > 10000; n = txn->len())
        if (auto r = txn->remove_first(); !r) return std::unexpected(r.error());
    if (auto r = txn->commit(); !r) return r;
    return (*session)->close();
}

struct CrashCase {
    const char* fixture;
    bool lose_unsynced;
};

class CrashDuringAppend : public ::testing::TestWithParam<CrashCase> {};

// The append stops at each write, resize and sync in turn; whatever is on disk then must read
// as the table before or after the append, for redb and for this library.
TEST_P(CrashDuringAppend, LeavesTheOldOrTheNewTable) {
    std::string name = std::string(GetParam().fixture) + (GetParam().lose_unsynced ? "-lost" : "");
    for (char& c : name)
        if (c == ':') c = '_';
    std::string base = temp_path("crash-base-" + name + ".redb");
    std::string work = temp_path("crash-work-" + name + ".redb");
    ASSERT_EQ(0, run_oracle(std::string("fixture ") + GetParam().fixture + " " + base));
    // A clean file written by this library is the starting point.
    ASSERT_TRUE(append_session(open_file(base), "first"));
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
        auto probe = std::make_shared<StoppingFile::Probe>();
        auto r = append_session(
            std::make_unique<StoppingFile>(open_file(work), stop, probe, GetParam().lose_unsynced),
            "crashed append");
        completed = !probe->stopped;
        if (completed) {
            ASSERT_TRUE(r) << r.error().to_string();
        }

        std::string out;
        ASSERT_EQ(0, oracle_check(work, true, &out)) << "stopped at step " << stop << ": " << out;
        OracleDump d = oracle_dump(work);
        ASSERT_EQ(0, d.exit_code) << d.text;
        bool is_before = d.history == before.history, is_after = d.history == after_history;
        ASSERT_TRUE(is_before || is_after) << "stopped at step " << stop;
        if (completed) {
            EXPECT_TRUE(is_after);
        }
        seen_after += is_after;

        // This library reads the same state (repairing the file as redb would).
        auto session = open_session(work);
        ASSERT_TRUE(session) << session.error().to_string();
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn);
        ASSERT_TRUE(txn->open_table("history"));
        auto len = txn->len();
        auto last = txn->last();
        auto first = txn->first();
        ASSERT_TRUE(len && last && first);
        EXPECT_EQ(d.history.size(), *len);
        ASSERT_TRUE(*last && *first);
        EXPECT_EQ(d.history.back(), **last);
        EXPECT_EQ(d.history.front(), **first);
        txn->abandon();
        ASSERT_TRUE((*session)->close());
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(seen_after, 0);
    std::printf("%s: %d stopping points\n", name.c_str(), steps);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CrashDuringAppend,
                         ::testing::Values(CrashCase{"history:30:0", false},
                                           CrashCase{"big:400", false},
                                           CrashCase{"history:10000:5", false},
                                           CrashCase{"history:30:0", true},
                                           CrashCase{"history:10000:5", true}));

}  // namespace
