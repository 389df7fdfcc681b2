#include <gtest/gtest.h>

#include "support/redb_files.h"

namespace {

using namespace snv::test;
using History = std::vector<std::pair<std::uint64_t, std::string>>;

constexpr std::uint64_t kLimit = 10000;

void expect_append(History& h, const std::string& text) {
    h.emplace_back(h.empty() ? 0 : h.back().first + 1, text);
    while (h.size() > kLimit) h.erase(h.begin());
}

struct Case {
    const char* fixture;
    int appends;
};

class OracleAppend : public ::testing::TestWithParam<Case> {};

TEST_P(OracleAppend, OracleSeesCleanFileWithExpectedHistory) {
    Case c = GetParam();
    std::string name = std::string(c.fixture) + "-" + std::to_string(c.appends);
    for (char& ch : name)
        if (ch == ':') ch = '_';
    std::string path = scratch_path(name + ".redb");
    ASSERT_EQ(0, oracle_fixture(c.fixture, path));
    OracleDump before = oracle_dump(path);
    ASSERT_EQ(0, before.exit_code) << before.text;
    History expected = before.history;
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db) << db.error().to_string();
        EXPECT_EQ(before.repaired, db->repaired_at_open());
        for (int i = 0; i < c.appends; ++i) {
            std::string text = "appended " + std::to_string(i);
            auto r = append_one(*db, text);
            ASSERT_TRUE(r) << r.error().to_string();
            expect_append(expected, text);
        }
        auto closed = db->close();
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
    Fixtures, OracleAppend,
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
