// Table definitions as redb stored them come back byte for byte from our serializer.
#include <gtest/gtest.h>

#include <set>

#include "file_pages.h"
#include "redb/fixtures.h"
#include "stored_table_definition.h"
#include "super_header.h"
#include "table_tree.h"

namespace {

TEST(TableDefinition, EveryStoredDefinitionRoundTrips) {
    for (const char* name :
         {"others_20.redb", "savepoint_10.redb", "wrong-key.redb", "crash-quick_20.redb"}) {
        auto image = redb_test::read_file(redb_test::fixture(name));
        snv::os::MemoryDbFile file(image);
        auto header = redb::parse_super_header(redb::Bytes(image.data(), image.size()));
        ASSERT_TRUE(header.has_value()) << name;
        redb::PageStore store(file, header->layout, image.size());
        int seen = 0;
        for (const auto& root :
             {header->primary_slot().user_root, header->primary_slot().system_root}) {
            redb::TableTreeReader tables(store, root);
            auto walked = tables.tree().for_each([&](redb::Bytes key, redb::Bytes value) {
                auto parsed = redb::parse_table_definition(value);
                EXPECT_TRUE(parsed.has_value())
                    << name << " " << std::string(key.begin(), key.end());
                if (parsed) {
                    auto again = redb::serialize_table_definition(*parsed);
                    EXPECT_TRUE(std::equal(again.begin(), again.end(), value.begin(), value.end()))
                        << name << " " << std::string(key.begin(), key.end());
                }
                ++seen;
                return true;
            });
            EXPECT_TRUE(walked.has_value()) << name;
            // The trees of every table verify, multimap value sets included, and each page is
            // visited once.
            auto ok = tables.verify_checksums();
            EXPECT_TRUE(ok && *ok) << name;
            std::set<std::uint64_t> pages;
            auto visited = tables.visit_pages([&](redb::PageNumber p) -> redb::Status {
                EXPECT_TRUE(pages.insert(p.encode()).second) << name;
                return {};
            });
            EXPECT_TRUE(visited.has_value()) << name;
        }
        EXPECT_GT(seen, 0) << name;
    }
}

TEST(TableDefinition, HistoryAsTheOracleDeclaresIt) {
    auto image = redb_test::read_file(redb_test::fixture("history_3_5.redb"));
    snv::os::MemoryDbFile file(image);
    auto header = redb::parse_super_header(redb::Bytes(image.data(), image.size()));
    ASSERT_TRUE(header.has_value());
    redb::PageStore store(file, header->layout, image.size());
    auto def = redb::TableTreeReader(store, header->primary_slot().user_root).find("history");
    ASSERT_TRUE(def && *def);
    EXPECT_EQ((*def)->table_type, redb::format::kTableNormal);
    EXPECT_EQ((*def)->length, 3u);
    EXPECT_EQ((*def)->fixed_key_size, 8u);
    EXPECT_FALSE((*def)->fixed_value_size.has_value());
    EXPECT_EQ((*def)->key_alignment, 1u);
    EXPECT_EQ((*def)->value_alignment, 1u);
    EXPECT_EQ((*def)->key_type, (redb::TypeName{redb::format::kTypeInternal, "u64"}));
    EXPECT_EQ((*def)->value_type, (redb::TypeName{redb::format::kTypeInternal, "&str"}));
    // A definition cut short anywhere is an error, not a read past its end.
    auto bytes = redb::serialize_table_definition(**def);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        auto cut = redb::parse_table_definition(redb::Bytes(bytes.data(), n));
        if (n < bytes.size() - 4) {  // beyond that only the value type name shrinks
            EXPECT_FALSE(cut.has_value()) << n;
        }
    }
}

}  // namespace
