#include <gtest/gtest.h>

#include "support/faulty_backend.h"
#include "support/redb_files.h"

namespace {

using namespace snv::test;

std::string fresh_fixture(const std::string& kind, const std::string& name) {
    const std::string path = scratch_path(name);
    EXPECT_EQ(0, oracle_fixture(kind, path));
    return path;
}

TEST(OracleWriteCases, EmptyFileBecomesCleanDatabase) {
    const std::string path = scratch_path("init.redb");
    remove_file(path);
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db) << db.error().to_string();
        ASSERT_TRUE(db->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
}

TEST(OracleWriteCases, PersistentSavepointIsRefusedAndTheFileLeftAlone) {
    const std::string path = fresh_fixture("savepoint:10", "savepoint.redb");
    OracleDump before = oracle_dump(path);
    const auto bytes_before = read_bytes(path);
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db) << db.error().to_string();
        auto txn = db->begin_write();
        ASSERT_FALSE(txn);
        EXPECT_EQ(redb::ErrorKind::Unsupported, txn.error().kind);
        EXPECT_NE(std::string::npos, txn.error().text.find("savepoint"));
        ASSERT_TRUE(db->close());
    }
    EXPECT_TRUE(bytes_before == read_bytes(path));
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    EXPECT_TRUE(before.history == oracle_dump(path).history);
}

TEST(OracleWriteCases, OtherKeyOrValueTypesAreATypeError) {
    for (const char* kind : {"wrong-key", "wrong-value"}) {
        const std::string path = fresh_fixture(kind, std::string(kind) + ".redb");
        std::string check_before;
        oracle_check(path, false, &check_before);
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db) << db.error().to_string();
        auto txn = db->begin_write();
        ASSERT_TRUE(txn);
        auto table = txn->open_table(kHistoryTable);
        ASSERT_FALSE(table) << kind;
        EXPECT_EQ(redb::ErrorKind::TableTypeMismatch, table.error().kind);
        txn->abort();
        ASSERT_TRUE(db->close());
        // The library still sees the table as it was (and refuses it the same way).
        std::string check_after;
        oracle_check(path, false, &check_after);
        EXPECT_EQ(check_before, check_after);
    }
}

TEST(OracleWriteCases, AbortedTransactionLeavesTheTableAsItWas) {
    const std::string path = fresh_fixture("history:40:0", "abandon.redb");
    OracleDump before = oracle_dump(path);
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db);
        {
            auto w = snv::test::write_history(*db);
            ASSERT_TRUE(w);
            for (std::uint64_t k = 100; k < 400; ++k) ASSERT_TRUE(w->table.insert(k, "dropped"));
            ASSERT_TRUE(w->table.pop_first());
        }  // dropped without commit
        ASSERT_TRUE(append_one(*db, "kept"));
        ASSERT_TRUE(db->close());
    }
    auto expected = before.history;
    expected.emplace_back(40, "kept");
    OracleDump after = oracle_dump(path);
    EXPECT_FALSE(after.repaired);
    EXPECT_TRUE(expected == after.history);
}

// The import places older entries below the smallest key and prunes, all in one transaction.
TEST(OracleWriteCases, ImportBelowTheSmallestKeyWithPrune) {
    const std::string path = fresh_fixture("history:9000:5000", "import.redb");
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db);
        auto w = snv::test::write_history(*db);
        ASSERT_TRUE(w);
        auto first = w->table.first();
        ASSERT_TRUE(first && *first);
        const std::uint64_t base = (*first)->first;
        for (std::uint64_t i = 0; i < 3000; ++i)
            ASSERT_TRUE(w->table.insert(base - 3000 + i, "imported " + std::to_string(i)));
        for (auto n = w->table.len(); n && *n > 10000; n = w->table.len())
            ASSERT_TRUE(w->table.pop_first());
        ASSERT_EQ(10000u, *w->table.len());
        ASSERT_TRUE(w->txn.commit());
        ASSERT_TRUE(db->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump dumped = oracle_dump(path);
    ASSERT_EQ(10000u, dumped.history.size());
    // 12000 entries, the 2000 smallest (the first imported ones) pruned.
    EXPECT_EQ(dumped.history.front(),
              std::make_pair(std::uint64_t(4000), std::string("imported 2000")));
    EXPECT_EQ(dumped.history[999].first, 4999u);
    EXPECT_EQ(dumped.history[1000].first, 5000u);
    EXPECT_EQ(dumped.history.back().first, 13999u);
}

TEST(OracleWriteCases, AlternatingWithTheLibraryItself) {
    const std::string path = scratch_path("alternating.redb");
    remove_file(path);
    std::vector<std::string> expected;
    for (int round = 0; round < 50; ++round) {
        {
            auto db = redb::Database::create(native(path));
            ASSERT_TRUE(db) << db.error().to_string();
            EXPECT_FALSE(db->repaired_at_open() && round > 0);
            const std::string text = "ours " + std::to_string(round);
            ASSERT_TRUE(append_one(*db, text));
            ASSERT_TRUE(db->close());
            expected.push_back(text);
        }
        const std::string text = "theirs-" + std::to_string(round);
        std::string out;
        ASSERT_EQ(0, run_oracle("append '" + path + "' " + text, &out)) << out;
        expected.push_back(text);
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump dumped = oracle_dump(path);
    EXPECT_FALSE(dumped.repaired);
    ASSERT_EQ(expected.size(), dumped.history.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(i, dumped.history[i].first);
        EXPECT_EQ(expected[i], dumped.history[i].second);
    }
}

// 100000 appends pruned to 10000, each in its own open and close as the history log makes
// them, in memory so that the test does not wait for the syncs of a real file. The file stays
// the size redb itself settles at for the same work.
TEST(OracleWriteCases, PagesAreReusedSoTheFileStaysSmall) {
    auto bytes = std::make_shared<redb::InMemoryBackend::Contents>();
    auto probe = std::make_shared<FaultyBackend::Probe>();
    for (int i = 0; i < 100000; ++i) {
        auto db = redb::Database::create(std::make_unique<FaultyBackend>(
            std::make_unique<redb::InMemoryBackend>(bytes), ~std::uint64_t{0}, probe));
        ASSERT_TRUE(db) << db.error().to_string();
        auto r = append_one(*db,
                            "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\","
                            "\"action\":\"shutdown\",\"detail\":\"entry " +
                                std::to_string(i) + "\"}");
        ASSERT_TRUE(r) << r.error().to_string();
        ASSERT_TRUE(db->close());
    }
    const std::string path = scratch_path("space.redb");
    write_bytes(path, *bytes);
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    EXPECT_LT(file_size(path), 1500u * 1024);
    std::printf("file after 100000 appends: %llu bytes, %.2f syncs per append\n",
                (unsigned long long)file_size(path), double(probe->syncs) / 100000);
}

TEST(OracleWriteCases, LockAgainstTheLibrary) {
    const std::string path = fresh_fixture("history:5:0", "lock.redb");
#ifndef _WIN32
    // Both sides only meet on one system: Wine's LockFileEx is not the host's flock.
    {
        // While this library holds the file, redb cannot open it.
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db);
        std::string out;
        EXPECT_EQ(1, run_oracle("append '" + path + "' blocked", &out));
        EXPECT_NE(std::string::npos, out.find("Database already open")) << out;
        ASSERT_TRUE(db->close());
    }
    // While redb holds it, opening fails at once with the already-open error.
    FILE* holder = popen(oracle_command("hold '" + path + "' 1500").c_str(), "r");
    ASSERT_TRUE(holder);
    char line[64] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, holder));
    EXPECT_STREQ("held\n", line);
    auto busy = redb::Database::create(native(path));
    ASSERT_FALSE(busy);
    EXPECT_EQ(redb::ErrorKind::AlreadyOpen, busy.error().kind);
    ASSERT_TRUE(std::fgets(line, sizeof line, holder));
    EXPECT_STREQ("released\n", line);
    pclose(holder);
    auto now = redb::Database::create(native(path));
    ASSERT_TRUE(now) << now.error().to_string();
    ASSERT_TRUE(now->close());
#else
    // Two opens of this library exclude each other.
    auto first = redb::Database::create(native(path));
    ASSERT_TRUE(first);
    auto second = redb::Database::create(native(path));
    ASSERT_FALSE(second);
    EXPECT_EQ(redb::ErrorKind::AlreadyOpen, second.error().kind);
    ASSERT_TRUE(first->close());
#endif
}

}  // namespace
