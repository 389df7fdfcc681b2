#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

#include "header_codec.h"
#include "node_codec.h"
#include "table_definition_codec.h"

namespace {

using namespace snv::test;
namespace d = redb::detail;

std::vector<std::uint8_t> slurp(const std::string& path) {
    std::ifstream in(std::filesystem::path(native(path)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A damaged file whose saved allocator state still looks valid is not verified at open; a
// branch that points back at itself must end the change with an error, not run forever.
TEST(TreeShapes, CycleInADamagedTreeIsAnError) {
    std::string path = temp_path("cycle.redb");
    remove_file(path);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session);
        auto txn = (*session)->begin_write();
        ASSERT_TRUE(txn && txn->open_table("history"));
        for (std::uint64_t k = 0; k < 2000; ++k) ASSERT_TRUE(txn->insert(k, "some text"));
        ASSERT_TRUE(txn->commit());
        ASSERT_TRUE((*session)->close());
    }
    auto bytes = slurp(path);
    auto header = d::parse_header(d::ByteView(bytes).first(d::kHeaderBytes));
    ASSERT_TRUE(header);
    auto page_at = [&](d::PageNumber p) {
        return d::ByteView(bytes).subspan(*header->layout.page_offset(p),
                                          header->layout.page_bytes(p));
    };
    auto tables = d::decode_leaf(page_at(header->primary_slot().user_root->page), {});
    ASSERT_TRUE(tables && tables->size() == 1);
    auto def = d::TableDefinition::parse((*tables)[0].value);
    ASSERT_TRUE(def && def->root);
    d::PageNumber root = def->root->page;
    std::size_t offset = *header->layout.page_offset(root);
    ASSERT_EQ(d::kBranchType, bytes[offset]);
    std::size_t keys = d::get_u16(&bytes[offset + 2]);
    d::put_u64(&bytes[offset + 8 + 16 * (keys + 1)], root.encode());  // first child: itself
    {
        std::ofstream out(std::filesystem::path(native(path)), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    auto session = open_session(path);
    ASSERT_TRUE(session) << session.error().to_string();
    auto txn = (*session)->begin_write();
    ASSERT_TRUE(txn && txn->open_table("history"));
    auto removed = txn->remove(0);
    ASSERT_FALSE(removed);
    EXPECT_EQ(redb::ErrorKind::Corrupted, removed.error().kind);
}

}  // namespace
