#include <gtest/gtest.h>

#include <fstream>

#include "test_files.h"

namespace {

using namespace snv::test;

std::string fresh_fixture(const std::string& kind, const std::string& name) {
    std::string path = temp_path(name);
    EXPECT_EQ(0, run_oracle("fixture " + kind + " " + path));
    return path;
}

redb::Status append_one(redb::WriteSession& session, const std::string& text) {
    auto txn = session.begin_write();
    if (!txn) return std::unexpected(txn.error());
    if (auto r = txn->open_table("history"); !r) return r;
    auto last = txn->last();
    if (!last) return std::unexpected(last.error());
    if (auto r = txn->insert(*last ? (*last)->first + 1 : 0, text); !r) return r;
    for (auto n = txn->len(); n && *n > 10000; n = txn->len())
        if (auto r = txn->remove_first(); !r) return std::unexpected(r.error());
    return txn->commit();
}

TEST(WriteCases, PersistentSavepointIsRefusedAndTheFileLeftAlone) {
    std::string path = fresh_fixture("savepoint:10", "savepoint.redb");
    OracleDump before = oracle_dump(path);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session) << session.error().to_string();
        auto txn = (*session)->begin_write();
        ASSERT_FALSE(txn);
        EXPECT_EQ(redb::ErrorKind::Unsupported, txn.error().kind);
        EXPECT_NE(std::string::npos, txn.error().text.find("savepoint"));
        ASSERT_TRUE((*session)->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    EXPECT_TRUE(before.history == oracle_dump(path).history);
}

TEST(WriteCases, OtherKeyOrValueTypesAreATypeError) {
    for (const char* kind : {"wrong-key", "wrong-value"}) {
        std::string path = fresh_fixture(kind, std::string(kind) + ".redb");
        std::string check_before;
        oracle_check(path, false, &check_before);
        auto session = open_session(path);
        ASSERT_TRUE(session) << session.error().to_string();
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn);
        auto r = txn->open_table("history");
        ASSERT_FALSE(r) << kind;
        EXPECT_EQ(redb::ErrorKind::TableTypeMismatch, r.error().kind);
        txn->abandon();
        ASSERT_TRUE((*session)->close());
        // The library still sees the table as it was (and refuses it the same way).
        std::string check_after;
        oracle_check(path, false, &check_after);
        EXPECT_EQ(check_before, check_after);
    }
}

TEST(WriteCases, AbandonedTransactionLeavesTheTableAsItWas) {
    std::string path = fresh_fixture("history:40:0", "abandon.redb");
    OracleDump before = oracle_dump(path);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session);
        {
            auto txn = (*session)->begin_write();
            ASSERT_TRUE(txn && txn->open_table("history"));
            for (std::uint64_t k = 100; k < 400; ++k) ASSERT_TRUE(txn->insert(k, "dropped"));
            ASSERT_TRUE(txn->remove_first());
        }  // dropped without commit
        ASSERT_TRUE(append_one(**session, "kept"));
        ASSERT_TRUE((*session)->close());
    }
    auto expected = before.history;
    expected.emplace_back(40, "kept");
    OracleDump after = oracle_dump(path);
    EXPECT_FALSE(after.repaired);
    EXPECT_TRUE(expected == after.history);
}

// The import places older entries below the smallest key and prunes, all in one transaction.
TEST(WriteCases, ImportBelowTheSmallestKeyWithPrune) {
    std::string path = fresh_fixture("history:9000:5000", "import.redb");
    {
        auto session = open_session(path);
        ASSERT_TRUE(session);
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn && txn->open_table("history"));
        auto first = txn->first();
        ASSERT_TRUE(first && *first);
        std::uint64_t base = (*first)->first;
        for (std::uint64_t i = 0; i < 3000; ++i)
            ASSERT_TRUE(txn->insert(base - 3000 + i, "imported " + std::to_string(i)));
        for (auto n = txn->len(); n && *n > 10000; n = txn->len()) ASSERT_TRUE(txn->remove_first());
        ASSERT_EQ(10000u, *txn->len());
        ASSERT_TRUE(txn->commit());
        ASSERT_TRUE((*session)->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump d = oracle_dump(path);
    ASSERT_EQ(10000u, d.history.size());
    // 12000 entries, the 2000 smallest (the first imported ones) pruned.
    EXPECT_EQ(d.history.front(), std::make_pair(std::uint64_t(4000), std::string("imported 2000")));
    EXPECT_EQ(d.history[999].first, 4999u);
    EXPECT_EQ(d.history[1000].first, 5000u);
    EXPECT_EQ(d.history.back().first, 13999u);
}

TEST(WriteCases, AlternatingWithTheLibraryItself) {
    std::string path = temp_path("alternating.redb");
    remove_file(path);
    std::vector<std::string> expected;
    for (int round = 0; round < 50; ++round) {
        {
            auto session = open_session(path);
            ASSERT_TRUE(session) << session.error().to_string();
            EXPECT_FALSE((*session)->repaired() && round > 0);
            std::string text = "ours " + std::to_string(round);
            ASSERT_TRUE(append_one(**session, text));
            ASSERT_TRUE((*session)->close());
            expected.push_back(text);
        }
        std::string text = "theirs-" + std::to_string(round);
        std::string out;
        ASSERT_EQ(0, run_oracle("append " + path + " " + text, &out)) << out;
        expected.push_back(text);
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump d = oracle_dump(path);
    EXPECT_FALSE(d.repaired);
    ASSERT_EQ(expected.size(), d.history.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(i, d.history[i].first);
        EXPECT_EQ(expected[i], d.history[i].second);
    }
}

TEST(WriteCases, PagesAreReusedSoTheFileStaysSmall) {
    std::string path = temp_path("space.redb");
    // In memory, so that the test does not wait for 100000 syncs of a real file.
    auto memory = std::make_unique<snv::os::MemoryDbFile>();
    snv::os::MemoryDbFile* contents = memory.get();
    {
        auto session = redb::WriteSession::open(std::move(memory));
        ASSERT_TRUE(session);
        for (int i = 0; i < 100000; ++i) {
            auto r = append_one(**session, "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\","
                                           "\"action\":\"shutdown\",\"detail\":\"entry " +
                                               std::to_string(i) + "\"}");
            ASSERT_TRUE(r) << r.error().to_string();
        }
        ASSERT_TRUE((*session)->close());
        std::ofstream out(std::filesystem::path(native(path)), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(contents->contents().data()),
                  std::streamsize(contents->contents().size()));
    }
    EXPECT_LT(file_size(path), 8u * 1024 * 1024);
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    std::printf("file after 100000 appends: %llu bytes\n", (unsigned long long)file_size(path));
}

TEST(WriteCases, LockAgainstTheLibrary) {
    std::string path = fresh_fixture("history:5:0", "lock.redb");
    {
        // While this library holds the file, redb cannot open it.
        auto session = open_session(path);
        ASSERT_TRUE(session);
        std::string out;
        EXPECT_EQ(1, run_oracle("append " + path + " blocked", &out));
        EXPECT_NE(std::string::npos, out.find("Database already open")) << out;
        ASSERT_TRUE((*session)->close());
    }
#ifndef _WIN32
    // While redb holds it, opening for writing fails at once with the already-open error.
    FILE* holder = popen((std::string(SNV_ORACLE) + " hold " + path + " 1500").c_str(), "r");
    ASSERT_TRUE(holder);
    char line[64] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, holder));
    EXPECT_STREQ("held\n", line);
    auto busy = open_session(path);
    ASSERT_FALSE(busy);
    EXPECT_EQ(redb::ErrorKind::AlreadyOpen, busy.error().kind);
    ASSERT_TRUE(std::fgets(line, sizeof line, holder));
    EXPECT_STREQ("released\n", line);
    pclose(holder);
    auto now = open_session(path);
    ASSERT_TRUE(now) << now.error().to_string();
    ASSERT_TRUE((*now)->close());
#endif
}

}  // namespace
