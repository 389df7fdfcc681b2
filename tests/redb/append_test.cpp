#include <gtest/gtest.h>

#include <filesystem>

#include "redb/write_session.h"
#include "test_files.h"

namespace {

using namespace snv::test;
using History = std::vector<std::pair<std::uint64_t, std::string>>;

constexpr std::uint64_t kLimit = 10000;

// One append as the history log makes it: under the last key plus one, then the prune.
void append(redb::WriteSession& session, const std::string& text) {
    auto txn = session.begin_write();
    ASSERT_TRUE(txn) << txn.error().to_string();
    ASSERT_TRUE(txn->open_table("history"));
    auto last = txn->last();
    ASSERT_TRUE(last);
    std::uint64_t key = *last ? (*last)->first + 1 : 0;
    ASSERT_TRUE(txn->insert(key, text));
    auto len = txn->len();
    ASSERT_TRUE(len);
    for (std::uint64_t n = *len; n > kLimit; --n) ASSERT_TRUE(txn->remove_first());
    auto c = txn->commit();
    ASSERT_TRUE(c) << c.error().to_string();
}

void expect_append(History& h, const std::string& text) {
    h.emplace_back(h.empty() ? 0 : h.back().first + 1, text);
    while (h.size() > kLimit) h.erase(h.begin());
}

struct Case {
    const char* fixture;
    int appends;
};

class AppendToFixture : public ::testing::TestWithParam<Case> {};

TEST_P(AppendToFixture, OracleSeesCleanFileWithExpectedHistory) {
    Case c = GetParam();
    std::string name = std::string(c.fixture) + "-" + std::to_string(c.appends);
    for (char& ch : name)
        if (ch == ':') ch = '_';
    std::string path = temp_path(name + ".redb");
    ASSERT_EQ(0, run_oracle(std::string("fixture ") + c.fixture + " " + path));
    OracleDump before = oracle_dump(path);
    ASSERT_EQ(0, before.exit_code) << before.text;
    History expected = before.history;
    {
        auto session = open_session(path);
        ASSERT_TRUE(session) << session.error().to_string();
        EXPECT_EQ(before.repaired, (*session)->repaired());
        for (int i = 0; i < c.appends; ++i) {
            std::string text = "appended " + std::to_string(i);
            append(**session, text);
            if (HasFatalFailure()) return;
            expect_append(expected, text);
        }
        auto closed = (*session)->close();
        ASSERT_TRUE(closed) << closed.error().to_string();
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump after = oracle_dump(path);
    ASSERT_EQ(0, after.exit_code) << after.text;
    EXPECT_FALSE(after.repaired);
    std::string tables = before.tables.empty() ? "history" : before.tables;
    if (before.tables.find("history") == std::string::npos && !before.tables.empty())
        tables = "history, " + before.tables;
    EXPECT_EQ(tables, after.tables);
    ASSERT_EQ(expected.size(), after.history.size());
    EXPECT_TRUE(expected == after.history);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, AppendToFixture,
    ::testing::Values(Case{"empty", 1}, Case{"empty", 100}, Case{"empty", 12000},
                      Case{"history:3:0", 1}, Case{"history:50:7", 100},
                      Case{"history:9990:100", 12000}, Case{"big:5000", 1}, Case{"big:5000", 100},
                      Case{"big:5000", 12000}, Case{"others:200", 1}, Case{"others:200", 100},
                      Case{"others:200", 12000}, Case{"crash:20", 1}, Case{"crash:20", 100},
                      Case{"crash:20", 12000}, Case{"crash-quick:20", 1},
                      Case{"crash-quick:20", 100}, Case{"crash-quick:20", 12000},
                      Case{"nondurable:10", 1}, Case{"nondurable:10", 100},
                      Case{"nondurable:10", 12000}));

}  // namespace
