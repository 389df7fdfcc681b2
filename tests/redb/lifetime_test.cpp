// Transactions and tables hold what they use: no order of destruction reads freed memory (run
// under ASan), and what outlives its transaction says so instead.
#include <gtest/gtest.h>

#include "support/redb_files.h"

namespace {

using snv::test::append_one;
using snv::test::kHistoryTable;

struct Memory {
    std::shared_ptr<redb::InMemoryBackend::Contents> bytes =
        std::make_shared<redb::InMemoryBackend::Contents>();
    redb::Database open() {
        auto db = redb::Database::create(std::make_unique<redb::InMemoryBackend>(bytes));
        EXPECT_TRUE(db) << db.error().to_string();
        return std::move(*db);
    }
    // The entries a fresh open sees, and whether it had to repair.
    std::vector<std::string> values(bool* repaired = nullptr) {
        redb::Database db = open();
        if (repaired) *repaired = db.repaired_at_open();
        std::vector<std::string> out;
        auto table = db.begin_read()->open_table(kHistoryTable);
        if (!table) return out;
        (void)table->for_each([&](const std::uint64_t&, const std::string& v) {
            out.push_back(v);
            return true;
        });
        return out;
    }
};

TEST(Lifetime, ADatabaseDroppedFirstClosesWhenItsTransactionEnds) {
    Memory m;
    {
        std::optional<redb::Database> db(m.open());
        auto w = snv::test::write_history(*db);
        ASSERT_TRUE(w);
        db.reset();
        ASSERT_TRUE(w->table.insert(std::uint64_t{1}, std::string("after the database")));
        ASSERT_TRUE(w->txn.commit());
    }
    bool repaired = true;
    EXPECT_EQ(m.values(&repaired), std::vector<std::string>{"after the database"});
    EXPECT_FALSE(repaired);
}

TEST(Lifetime, TransactionsDroppedBeforeTheirDatabase) {
    Memory m;
    {
        redb::Database db = m.open();
        ASSERT_TRUE(append_one(db, "one"));
        auto read = db.begin_read();
        ASSERT_TRUE(read);
        auto txn = db.begin_write();
        ASSERT_TRUE(txn);
    }
    EXPECT_EQ(m.values(), std::vector<std::string>{"one"});
}

TEST(Lifetime, WhatOutlivesItsTransactionReportsTheEnd) {
    Memory m;
    redb::Database db = m.open();
    auto w = snv::test::write_history(db);
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->table.insert(std::uint64_t{1}, std::string("x")));
    // Only one write transaction at a time.
    auto second = db.begin_write();
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().kind, redb::ErrorKind::TransactionInProgress);
    ASSERT_TRUE(w->txn.commit());
    EXPECT_EQ(w->table.insert(std::uint64_t{2}, std::string("y")).error().kind,
              redb::ErrorKind::TransactionEnded);
    EXPECT_EQ(w->table.len().error().kind, redb::ErrorKind::TransactionEnded);
    EXPECT_EQ(w->txn.commit().error().kind, redb::ErrorKind::TransactionEnded);

    // The close aborts a running transaction; everything afterwards says the database closed.
    auto late = snv::test::write_history(db);
    ASSERT_TRUE(late);
    ASSERT_TRUE(late->table.insert(std::uint64_t{3}, std::string("aborted")));
    auto read = db.begin_read();
    ASSERT_TRUE(read);
    ASSERT_TRUE(db.close());
    EXPECT_EQ(late->table.insert(std::uint64_t{4}, std::string("z")).error().kind,
              redb::ErrorKind::TransactionEnded);
    EXPECT_EQ(read->open_table(kHistoryTable).error().kind, redb::ErrorKind::TransactionEnded);
    EXPECT_EQ(db.begin_read().error().kind, redb::ErrorKind::TransactionEnded);
    EXPECT_EQ(m.values(), std::vector<std::string>{"x"});
}

// A read transaction keeps seeing its commit while later ones rewrite the table: the pages it
// reads are not reused until it ends.
TEST(Lifetime, AReaderKeepsItsSnapshotWhileWritersGoOn) {
    Memory m;
    redb::Database db = m.open();
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(append_one(db, "old " + std::to_string(i)));
    auto read = db.begin_read();
    ASSERT_TRUE(read);
    auto snapshot = read->open_table(kHistoryTable);
    ASSERT_TRUE(snapshot);
    for (int round = 0; round < 20; ++round) {
        auto w = snv::test::write_history(db);
        ASSERT_TRUE(w);
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(w->table.pop_first());
            ASSERT_TRUE(w->table.insert(std::uint64_t(1000 + round * 300 + i),
                                        std::string(200, char('a' + round))));
        }
        ASSERT_TRUE(w->txn.commit());
    }
    std::vector<std::string> seen;
    ASSERT_TRUE(snapshot->for_each([&](const std::uint64_t&, const std::string& v) {
        seen.push_back(v);
        return true;
    }));
    ASSERT_EQ(seen.size(), 300u);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(seen[i], "old " + std::to_string(i));
}

}  // namespace
