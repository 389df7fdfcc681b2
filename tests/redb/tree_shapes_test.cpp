#include <gtest/gtest.h>

#include <map>
#include <random>

#include "btree_page.h"
#include "page_store.h"
#include "super_header.h"
#include "support/redb_files.h"
#include "table_tree.h"

namespace {

using namespace snv::test;
namespace d = redb::detail;

// Random inserts, replacements and removals (big values included) in a handful of
// transactions, checked against a map and then by redb itself.
TEST(OracleTreeShapes, RandomChangesReadBackInRedb) {
    const std::string path = scratch_path("random.redb");
    remove_file(path);
    std::map<std::uint64_t, std::string> model;
    std::mt19937_64 rng(42);
    {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db) << db.error().to_string();
        for (int round = 0; round < 12; ++round) {
            auto w = snv::test::write_history(*db);
            ASSERT_TRUE(w);
            for (int op = 0; op < 600; ++op) {
                const std::uint64_t key = rng() % 3000;
                const int what = int(rng() % 10);
                if (what < 6) {
                    const std::size_t size = rng() % 50 == 0 ? 5000 + rng() % 20000 : rng() % 300;
                    std::string value(size, char('a' + rng() % 26));
                    value += std::to_string(key);
                    ASSERT_TRUE(w->table.insert(key, value));
                    model[key] = value;
                } else {
                    auto removed = w->table.remove(key);
                    ASSERT_TRUE(removed);
                    EXPECT_EQ(model.erase(key) == 1, *removed);
                }
            }
            ASSERT_EQ(model.size(), *w->table.len());
            if (!model.empty()) {
                EXPECT_EQ(model.begin()->first, (*w->table.first())->first);
                EXPECT_EQ(model.rbegin()->second, (*w->table.last())->second);
            }
            ASSERT_TRUE(w->table.get(model.empty() ? 0 : model.begin()->first));
            ASSERT_TRUE(w->txn.commit());
        }
        ASSERT_TRUE(db->close());
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
    OracleDump dumped = oracle_dump(path);
    ASSERT_EQ(model.size(), dumped.history.size());
    auto it = model.begin();
    for (auto& [k, v] : dumped.history) {
        EXPECT_EQ(it->first, k);
        EXPECT_EQ(it->second, v);
        ++it;
    }
}

// Removing every entry but one from the front of a deep tree, then emptying it.
TEST(OracleTreeShapes, DrainingFromTheFront) {
    const std::string path = scratch_path("drain.redb");
    ASSERT_EQ(0, oracle_fixture("big:5000", path));
    for (int remaining : {1, 0}) {
        auto db = redb::Database::create(native(path));
        ASSERT_TRUE(db);
        auto w = snv::test::write_history(*db);
        ASSERT_TRUE(w);
        for (auto n = *w->table.len(); n > std::uint64_t(remaining); --n)
            ASSERT_TRUE(*w->table.pop_first());
        if (remaining == 0) {
            EXPECT_FALSE(*w->table.pop_first());
        }
        ASSERT_TRUE(w->txn.commit());
        ASSERT_TRUE(db->close());
        std::string out;
        EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
        OracleDump dumped = oracle_dump(path);
        ASSERT_EQ(std::size_t(remaining), dumped.history.size());
        if (remaining == 1) {
            EXPECT_EQ(4999u, dumped.history[0].first);
        }
    }
}

// A damaged file whose saved allocator state still looks valid is not verified at open; a
// branch that points back at itself must end the change with an error, not run forever.
TEST(TreeShapes, CycleInADamagedTreeIsAnError) {
    auto backend = std::make_unique<redb::InMemoryBackend>();
    auto bytes = backend->contents();
    {
        auto db = redb::Database::create(std::move(backend));
        ASSERT_TRUE(db);
        auto w = snv::test::write_history(*db);
        ASSERT_TRUE(w);
        for (std::uint64_t k = 0; k < 2000; ++k) ASSERT_TRUE(w->table.insert(k, "some text"));
        ASSERT_TRUE(w->txn.commit());
        ASSERT_TRUE(db->close());
    }
    std::vector<std::uint8_t> image = *bytes;
    {
        redb::InMemoryBackend copy(image);
        d::PageStore store(copy, *d::parse_super_header(image));
        auto def = d::TableTree(store, store.header().primary_slot().user_root).get("history");
        ASSERT_TRUE(def && *def && (*def)->root);
        const d::PageNumber root = (*def)->root->root;
        const std::size_t offset = *store.layout().page_offset(root);
        ASSERT_EQ(d::format::kBranchPage, image[offset]);
        const std::size_t keys = d::load_u16(&image[offset + 2]);
        d::store_u64(&image[offset + 8 + 16 * (keys + 1)], root.encode());  // first child: itself
    }
    auto db = redb::Database::create(std::make_unique<redb::InMemoryBackend>(image));
    ASSERT_TRUE(db) << db.error().to_string();
    auto w = snv::test::write_history(*db);
    ASSERT_TRUE(w);
    auto removed = w->table.remove(std::uint64_t{0});
    ASSERT_FALSE(removed);
    EXPECT_EQ(redb::ErrorKind::Corrupted, removed.error().kind);
}

}  // namespace
