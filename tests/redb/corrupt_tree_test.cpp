// Damaged trees inside an otherwise valid file: every read ends in an error, never a hang.
#include <gtest/gtest.h>

#include "btree.h"
#include "file_pages.h"
#include "redb/fixtures.h"
#include "super_header.h"
#include "table_tree.h"

namespace {

constexpr redb::TableSpec<redb::U64, redb::Str> kHistory{"history"};

// The byte offset of the root page of `history` in a fixture image.
std::uint64_t history_root_offset(std::vector<std::uint8_t>& image, redb::PageNumber* root) {
    snv::os::MemoryDbFile file(image);
    auto header = redb::parse_super_header(redb::Bytes(image.data(), image.size()));
    EXPECT_TRUE(header.has_value());
    redb::PageStore store(file, header->layout, image.size());
    auto def = redb::TableTreeReader(store, header->primary_slot().user_root).find("history");
    EXPECT_TRUE(def && *def && (*def)->root);
    *root = (*def)->root->root;
    return *store.offset_of(*root);
}

std::unique_ptr<snv::os::MemoryDbFile> damaged(void (*damage)(std::vector<std::uint8_t>&,
                                                              std::uint64_t, redb::PageNumber)) {
    auto image = redb_test::read_file(redb_test::fixture("big_5000.redb"));
    redb::PageNumber root;
    const std::uint64_t offset = history_root_offset(image, &root);
    EXPECT_EQ(image[offset], redb::format::kBranchPage);
    damage(image, offset, root);
    return std::make_unique<snv::os::MemoryDbFile>(image);
}

struct Damage {
    const char* name;
    void (*apply)(std::vector<std::uint8_t>&, std::uint64_t, redb::PageNumber);
};

const Damage kDamages[] = {
    // Every child of the root is the root itself: a cycle.
    {"cycle",
     [](std::vector<std::uint8_t>& b, std::uint64_t at, redb::PageNumber root) {
         const std::size_t keys = redb::load_u16(&b[at + 2]);
         for (std::size_t i = 0; i <= keys; ++i)
             redb::store_u64(&b[at + 8 + 16 * (keys + 1) + 8 * i], root.encode());
     }},
    // Child pages far outside the file.
    {"beyond_file",
     [](std::vector<std::uint8_t>& b, std::uint64_t at, redb::PageNumber) {
         const std::size_t keys = redb::load_u16(&b[at + 2]);
         for (std::size_t i = 0; i <= keys; ++i)
             redb::store_u64(&b[at + 8 + 16 * (keys + 1) + 8 * i],
                             redb::PageNumber{3, 7, 20}.encode());
     }},
    // A key count that puts the offsets past the end of the page.
    {"key_count", [](std::vector<std::uint8_t>& b, std::uint64_t at,
                     redb::PageNumber) { redb::store_u16(&b[at + 2], 0xFFFF); }},
    // An unknown page type.
    {"page_type",
     [](std::vector<std::uint8_t>& b, std::uint64_t at, redb::PageNumber) { b[at] = 9; }},
};

TEST(CorruptTree, EveryReadOfADamagedTreeIsAnError) {
    for (const auto& d : kDamages) {
        auto db = redb::Database::create(damaged(d.apply));
        ASSERT_TRUE(db.has_value())
            << d.name << ": " << db.error().to_string();  // the header is sound
        auto history = db->begin_read()->open_table(kHistory);
        ASSERT_TRUE(history.has_value()) << d.name;
        auto walked =
            history->for_each([](const std::uint64_t&, const std::string&) { return true; });
        ASSERT_FALSE(walked.has_value()) << d.name;
        EXPECT_EQ(walked.error().kind, redb::ErrorKind::Corrupted) << d.name;
        auto first = history->first();
        auto last = history->last();
        auto got = history->get(2500);
        EXPECT_FALSE(first.has_value()) << d.name;
        EXPECT_FALSE(last.has_value()) << d.name;
        EXPECT_FALSE(got.has_value()) << d.name;
    }
}

TEST(CorruptTree, ADamagedTreeFailsItsChecksum) {
    auto image = redb_test::read_file(redb_test::fixture("big_5000.redb"));
    redb::PageNumber root;
    const std::uint64_t offset = history_root_offset(image, &root);
    snv::os::MemoryDbFile file(image);
    auto header = redb::parse_super_header(redb::Bytes(image.data(), image.size()));
    ASSERT_TRUE(header.has_value());
    {
        redb::PageStore store(file, header->layout, image.size());
        auto ok = redb::TableTreeReader(store, header->primary_slot().user_root).verify_checksums();
        ASSERT_TRUE(ok.has_value());
        EXPECT_TRUE(*ok);
    }
    image[offset + 8 + 3] ^= 0x40;  // one bit of the first child's checksum
    snv::os::MemoryDbFile bad(image);
    redb::PageStore store(bad, header->layout, image.size());
    auto ok = redb::TableTreeReader(store, header->primary_slot().user_root).verify_checksums();
    ASSERT_TRUE(ok.has_value());
    EXPECT_FALSE(*ok);
}

}  // namespace
