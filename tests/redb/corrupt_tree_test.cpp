// Damaged trees inside an otherwise valid file: every read ends in an error, never a hang.
#include <gtest/gtest.h>

#include "page_store.h"
#include "redb/database.h"
#include "super_header.h"
#include "support/redb_files.h"
#include "table_tree.h"

namespace {

namespace d = redb::detail;
using snv::test::kHistoryTable;

// The history table's definition and the byte offset of its root page in a fixture image.
std::uint64_t history_root_offset(const std::vector<std::uint8_t>& image, d::PageNumber* root) {
    redb::InMemoryBackend backend(image);
    auto header = d::parse_super_header(image);
    EXPECT_TRUE(header.has_value());
    d::PageStore store(backend, *header);
    auto def = d::TableTree(store, store.header().primary_slot().user_root).get("history");
    EXPECT_TRUE(def && *def && (*def)->root);
    *root = (*def)->root->root;
    return *store.layout().page_offset(*root);
}

using Damage = void (*)(std::vector<std::uint8_t>&, std::uint64_t, d::PageNumber);

std::unique_ptr<redb::InMemoryBackend> damaged(Damage damage) {
    auto image = snv::test::read_bytes(snv::test::fixture("big_5000.redb"));
    d::PageNumber root;
    const std::uint64_t offset = history_root_offset(image, &root);
    EXPECT_EQ(image[offset], d::format::kBranchPage);
    damage(image, offset, root);
    return std::make_unique<redb::InMemoryBackend>(image);
}

struct NamedDamage {
    const char* name;
    Damage apply;
};

const NamedDamage kDamages[] = {
    // Every child of the root is the root itself: a cycle.
    {"cycle",
     [](std::vector<std::uint8_t>& b, std::uint64_t at, d::PageNumber root) {
         const std::size_t keys = d::load_u16(&b[at + 2]);
         for (std::size_t i = 0; i <= keys; ++i)
             d::store_u64(&b[at + 8 + 16 * (keys + 1) + 8 * i], root.encode());
     }},
    // Child pages far outside the file.
    {"beyond_file",
     [](std::vector<std::uint8_t>& b, std::uint64_t at, d::PageNumber) {
         const std::size_t keys = d::load_u16(&b[at + 2]);
         for (std::size_t i = 0; i <= keys; ++i)
             d::store_u64(&b[at + 8 + 16 * (keys + 1) + 8 * i], d::PageNumber{3, 7, 20}.encode());
     }},
    // A key count that puts the offsets past the end of the page.
    {"key_count", [](std::vector<std::uint8_t>& b, std::uint64_t at,
                     d::PageNumber) { d::store_u16(&b[at + 2], 0xFFFF); }},
    // An unknown page type.
    {"page_type", [](std::vector<std::uint8_t>& b, std::uint64_t at, d::PageNumber) { b[at] = 9; }},
};

TEST(OracleCorruptTree, EveryReadOfADamagedTreeIsAnError) {
    for (const auto& damage : kDamages) {
        auto db = redb::Database::create(damaged(damage.apply));
        ASSERT_TRUE(db.has_value())
            << damage.name << ": " << db.error().to_string();  // the header is sound
        auto history = db->begin_read()->open_table(kHistoryTable);
        ASSERT_TRUE(history.has_value()) << damage.name;
        auto walked =
            history->for_each([](const std::uint64_t&, const std::string&) { return true; });
        ASSERT_FALSE(walked.has_value()) << damage.name;
        EXPECT_EQ(walked.error().kind, redb::ErrorKind::Corrupted) << damage.name;
        EXPECT_FALSE(history->first().has_value()) << damage.name;
        EXPECT_FALSE(history->last().has_value()) << damage.name;
        EXPECT_FALSE(history->get(2500).has_value()) << damage.name;
        // Changing the damaged table fails the same way, and the transaction ends.
        auto txn = db->begin_write();
        ASSERT_TRUE(txn) << damage.name;
        auto table = txn->open_table(kHistoryTable);
        ASSERT_TRUE(table) << damage.name;
        auto removed = table->remove(std::uint64_t{0});
        ASSERT_FALSE(removed) << damage.name;
        EXPECT_EQ(removed.error().kind, redb::ErrorKind::Corrupted) << damage.name;
        EXPECT_EQ(txn->commit().error().kind, redb::ErrorKind::TransactionEnded) << damage.name;
    }
}

TEST(OracleCorruptTree, ADamagedTreeFailsItsChecksum) {
    auto image = snv::test::read_bytes(snv::test::fixture("big_5000.redb"));
    d::PageNumber root;
    const std::uint64_t offset = history_root_offset(image, &root);
    auto verifies = [](const std::vector<std::uint8_t>& bytes) {
        redb::InMemoryBackend backend(bytes);
        d::PageStore store(backend, *d::parse_super_header(bytes));
        return d::TableTree(store, store.header().primary_slot().user_root).verify_checksums();
    };
    auto ok = verifies(image);
    ASSERT_TRUE(ok.has_value());
    EXPECT_TRUE(*ok);
    image[offset + 8 + 3] ^= 0x40;  // one bit of the first child's checksum
    ok = verifies(image);
    ASSERT_TRUE(ok.has_value());
    EXPECT_FALSE(*ok);
}

}  // namespace
