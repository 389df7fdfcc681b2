// Every oracle fixture read through our library must match what redb itself prints for it.
#include <gtest/gtest.h>

#include <sstream>

#include "support/redb_files.h"

namespace {

using namespace snv::test;

// Our view of a database in the oracle's dump format.
std::string dump(const redb::Database& db) {
    std::ostringstream out;
    auto txn = db.begin_read();
    EXPECT_TRUE(txn.has_value());
    auto tables = txn->list_tables();
    EXPECT_TRUE(tables.has_value()) << tables.error().to_string();
    out << "# tables: ";
    bool has_history = false;
    for (std::size_t i = 0; i < tables->size(); ++i) {
        const auto& t = (*tables)[i];
        out << (i ? ", " : "") << t.name << (t.multimap ? " (multimap)" : "");
        has_history = has_history || t.name == "history";
    }
    out << "\n";
    if (!has_history) return out.str();
    auto history = txn->open_table(kHistoryTable);
    EXPECT_TRUE(history.has_value()) << history.error().to_string();
    out << "# history: " << history->len() << " entries\n";
    auto walked = history->for_each([&](const std::uint64_t& k, const std::string& v) {
        out << k << "\t" << v << "\n";
        return true;
    });
    EXPECT_TRUE(walked.has_value()) << walked.error().to_string();
    return out.str();
}

std::string without_repair_line(const std::string& text, bool* repaired) {
    const std::string marker = "# repaired at open\n";
    *repaired = text.starts_with(marker);
    return *repaired ? text.substr(marker.size()) : text;
}

std::string text_of(const std::string& path) {
    const auto bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

struct Kind {
    const char* name;
    bool crashed;  // left by a process that ended without closing the database
};

class OracleFixtureRead : public ::testing::TestWithParam<Kind> {};

TEST_P(OracleFixtureRead, MatchesTheOracleDumpAndLeavesACleanFile) {
    const std::string name = GetParam().name;
    const std::string path = scratch_path("read-" + name + ".redb");
    copy_file(fixture(name + ".redb"), path);
    const auto before = read_bytes(path);
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db.has_value()) << db.error().to_string();
        bool oracle_repaired = false;
        const std::string expected =
            without_repair_line(text_of(fixture(name + ".dump")), &oracle_repaired);
        EXPECT_EQ(dump(*db), expected);
        EXPECT_EQ(db->repaired_at_open(), oracle_repaired);
    }
    // A cleanly closed file is only read; a crashed one is repaired in place, as redb does.
    if (!GetParam().crashed)
        EXPECT_EQ(read_bytes(path), before);
    else
        EXPECT_NE(read_bytes(path), before);
    std::string out;
    EXPECT_EQ(oracle_check(path, false, &out), 0) << out;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, OracleFixtureRead,
                         ::testing::Values(Kind{"empty", false}, Kind{"history_3_5", false},
                                           Kind{"history_300_1000", false}, Kind{"big_5000", false},
                                           Kind{"others_20", false}, Kind{"savepoint_10", false},
                                           Kind{"crash_20", true}, Kind{"crash-quick_20", true},
                                           Kind{"nondurable_10", true}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

// Sizes as redb leaves them: a new database closed at once is 20480 bytes, its free pages at
// the end given back.
TEST(OracleFixtureRead, AnEmptyFileBecomesADatabaseRedbOpensWithoutRepair) {
    const std::string path = scratch_path("new.redb");
    write_bytes(path, {});
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db.has_value()) << db.error().to_string();
        auto tables = db->begin_read()->list_tables();
        ASSERT_TRUE(tables.has_value());
        EXPECT_TRUE(tables->empty());
    }
    const std::string theirs = scratch_path("new-by-redb.redb");
    ASSERT_EQ(0, oracle_fixture("empty", theirs));
    EXPECT_EQ(file_size(path), file_size(theirs));
    EXPECT_EQ(file_size(path), 20480u);
    std::string out;
    EXPECT_EQ(oracle_check(path, false, &out), 0) << out;
    // And it opens again, now as an existing database.
    auto again = redb::Database::create(native(path));
    ASSERT_TRUE(again.has_value()) << again.error().to_string();
    EXPECT_FALSE(again->repaired_at_open());
}

TEST(OracleFixtureRead, LookupsFirstLastAndCountOfADeepTree) {
    auto db = redb::Database::create(native(fixture("big_5000.redb")));
    ASSERT_TRUE(db.has_value()) << db.error().to_string();
    auto history = db->begin_read()->open_table(kHistoryTable);
    ASSERT_TRUE(history.has_value());
    EXPECT_EQ(history->len(), 5000u);
    auto first = history->first();
    auto last = history->last();
    ASSERT_TRUE(first && *first && last && *last);
    EXPECT_EQ((*first)->first, 0u);
    EXPECT_EQ((*last)->first, 4999u);
    std::uint64_t seen = 0;
    auto walked = history->for_each([&](const std::uint64_t& key, const std::string& value) {
        auto got = history->get(key);
        EXPECT_TRUE(got && *got && **got == value) << key;
        ++seen;
        return true;
    });
    EXPECT_TRUE(walked.has_value());
    EXPECT_EQ(seen, 5000u);
    auto missing = history->get(5000);
    ASSERT_TRUE(missing.has_value());
    EXPECT_FALSE(missing->has_value());
}

TEST(OracleFixtureRead, KeysNeedNotStartAtZero) {
    auto db = redb::Database::create(native(fixture("history_300_1000.redb")));
    ASSERT_TRUE(db.has_value());
    auto history = db->begin_read()->open_table(kHistoryTable);
    ASSERT_TRUE(history.has_value());
    EXPECT_EQ((*history->first())->first, 1000u);
    EXPECT_EQ((*history->last())->first, 1299u);
    EXPECT_FALSE(history->get(999)->has_value());
    EXPECT_TRUE(history->get(1150)->has_value());
}

TEST(OracleTableTypes, HistoryDeclaredWithOtherTypesIsATypeError) {
    for (const char* name : {"wrong-key.redb", "wrong-value.redb"}) {
        auto db = redb::Database::create(native(fixture(name)));
        ASSERT_TRUE(db.has_value()) << name;
        auto history = db->begin_read()->open_table(kHistoryTable);
        ASSERT_FALSE(history.has_value()) << name;
        EXPECT_EQ(history.error().kind, redb::ErrorKind::TableTypeMismatch) << name;
    }
}

TEST(OracleTableTypes, OtherDeclarationsOfStoredTables) {
    auto db = redb::Database::create(native(fixture("others_20.redb")));
    ASSERT_TRUE(db.has_value());
    auto txn = db->begin_read();
    // The types the oracle declared open fine; a multimap table is refused as a plain one.
    auto blobs = txn->open_table(redb::TableDefinition<redb::U64, redb::ByteSlice>{"blobs"});
    ASSERT_TRUE(blobs.has_value()) << blobs.error().to_string();
    auto first = blobs->first();
    ASSERT_TRUE(first && *first);
    EXPECT_EQ((*first)->second.size(), 5000u);
    auto other = txn->open_table(redb::TableDefinition<redb::Str, redb::U64>{"other_table"});
    ASSERT_TRUE(other.has_value()) << other.error().to_string();
    EXPECT_GT(other->len(), 0u);
    auto tags = txn->open_table(redb::TableDefinition<redb::U64, redb::Str>{"tags"});
    ASSERT_FALSE(tags.has_value());
    EXPECT_EQ(tags.error().kind, redb::ErrorKind::TableIsMultimap);
    auto missing = txn->open_table(redb::TableDefinition<redb::U64, redb::Str>{"nothing"});
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().kind, redb::ErrorKind::TableDoesNotExist);
}

}  // namespace
