#include <gtest/gtest.h>

#include <map>
#include <random>

#include "test_files.h"

namespace {

using namespace snv::test;

// Random inserts, replacements and removals (big values included) in a handful of
// transactions, checked against a map and then by redb itself.
TEST(TreeShapes, RandomChangesReadBackInRedb) {
    std::string path = temp_path("random.redb");
    remove_file(path);
    std::map<std::uint64_t, std::string> model;
    std::mt19937_64 rng(42);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session) << session.error().to_string();
        for (int round = 0; round < 12; ++round) {
            auto txn = (*session)->begin_write();
            ASSERT_TRUE(txn && txn->open_table("history"));
            for (int op = 0; op < 600; ++op) {
                std::uint64_t key = rng() % 3000;
                int what = int(rng() % 10);
                if (what < 6) {
                    std::size_t size = rng() % 50 == 0 ? 5000 + rng() % 20000 : rng() % 300;
                    std::string value(size, char('a' + rng() % 26));
                    value += std::to_string(key);
                    ASSERT_TRUE(txn->insert(key, value));
                    model[key] = value;
                } else {
                    auto removed = txn->remove(key);
                    ASSERT_TRUE(removed);
                    EXPECT_EQ(model.erase(key) == 1, *removed);
                }
            }
            ASSERT_EQ(model.size(), *txn->len());
            if (!model.empty()) {
                EXPECT_EQ(model.begin()->first, (*txn->first())->first);
                EXPECT_EQ(model.rbegin()->second, (*txn->last())->second);
            }
            auto probe = txn->get(model.empty() ? 0 : model.begin()->first);
            ASSERT_TRUE(probe);
            ASSERT_TRUE(txn->commit());
        }
        ASSERT_TRUE((*session)->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump d = oracle_dump(path);
    ASSERT_EQ(model.size(), d.history.size());
    auto it = model.begin();
    for (auto& [k, v] : d.history) {
        EXPECT_EQ(it->first, k);
        EXPECT_EQ(it->second, v);
        ++it;
    }
}

// Removing every entry but one from the front of a deep tree, then emptying it.
TEST(TreeShapes, DrainingFromTheFront) {
    std::string path = temp_path("drain.redb");
    ASSERT_EQ(0, run_oracle("fixture big:5000 " + path));
    {
        auto session = open_session(path);
        ASSERT_TRUE(session);
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn && txn->open_table("history"));
        for (int i = 0; i < 4999; ++i) ASSERT_TRUE(*txn->remove_first());
        ASSERT_TRUE(txn->commit());
        ASSERT_TRUE((*session)->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump d = oracle_dump(path);
    ASSERT_EQ(1u, d.history.size());
    EXPECT_EQ(4999u, d.history[0].first);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session);
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn && txn->open_table("history"));
        ASSERT_TRUE(*txn->remove_first());
        EXPECT_FALSE(*txn->remove_first());
        ASSERT_TRUE(txn->commit());
        ASSERT_TRUE((*session)->close());
    }
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    EXPECT_EQ(0u, oracle_dump(path).history.size());
}

}  // namespace
