// Table definitions as redb stored them come back byte for byte from our encoder.
#include <gtest/gtest.h>

#include <set>

#include "page_store.h"
#include "super_header.h"
#include "support/redb_files.h"
#include "table_definition.h"
#include "table_tree.h"

namespace {

namespace d = redb::detail;
using snv::test::fixture;
using snv::test::read_bytes;

TEST(OracleTableDefinition, EveryStoredDefinitionRoundTrips) {
    for (const char* name :
         {"others_20.redb", "savepoint_10.redb", "wrong-key.redb", "crash-quick_20.redb"}) {
        auto image = read_bytes(fixture(name));
        redb::InMemoryBackend backend(image);
        auto header = d::parse_super_header(image);
        ASSERT_TRUE(header.has_value()) << name;
        d::PageStore store(backend, *header);
        int seen = 0;
        for (auto root : {header->primary_slot().user_root, header->primary_slot().system_root}) {
            auto walked = d::Btree(store, d::TreeKind{})
                              .for_each(root, [&](d::ByteView key, d::ByteView value) {
                                  auto parsed = d::InternalTableDefinition::decode(value);
                                  EXPECT_TRUE(parsed.has_value())
                                      << name << " " << std::string(key.begin(), key.end());
                                  if (parsed) {
                                      auto again = parsed->encode();
                                      EXPECT_TRUE(std::equal(again.begin(), again.end(),
                                                             value.begin(), value.end()))
                                          << name << " " << std::string(key.begin(), key.end());
                                  }
                                  ++seen;
                                  return true;
                              });
            EXPECT_TRUE(walked.has_value()) << name;
            // The trees of every table verify, multimap value sets included, and each page is
            // visited once.
            d::TableTree tables(store, root);
            auto ok = tables.verify_checksums();
            EXPECT_TRUE(ok && *ok) << name;
            std::set<std::uint64_t> pages;
            auto visited = tables.visit_all_pages([&](d::PageNumber p) -> redb::Status {
                EXPECT_TRUE(pages.insert(p.encode()).second) << name;
                return {};
            });
            EXPECT_TRUE(visited.has_value()) << name;
        }
        EXPECT_GT(seen, 0) << name;
    }
}

TEST(OracleTableDefinition, HistoryAsRedbDeclaresIt) {
    auto image = read_bytes(fixture("history_3_5.redb"));
    redb::InMemoryBackend backend(image);
    auto header = d::parse_super_header(image);
    ASSERT_TRUE(header.has_value());
    d::PageStore store(backend, *header);
    auto def = d::TableTree(store, store.header().primary_slot().user_root).get("history");
    ASSERT_TRUE(def && *def);
    EXPECT_EQ((*def)->table_type, d::format::kTableNormal);
    EXPECT_EQ((*def)->length, 3u);
    EXPECT_EQ((*def)->fixed_key_size, 8u);
    EXPECT_FALSE((*def)->fixed_value_size.has_value());
    EXPECT_EQ((*def)->key_alignment, 1u);
    EXPECT_EQ((*def)->value_alignment, 1u);
    EXPECT_EQ((*def)->key_type, (d::TypeName{d::format::kTypeInternal, "u64"}));
    EXPECT_EQ((*def)->value_type, (d::TypeName{d::format::kTypeInternal, "&str"}));
    // The definition this library makes for a new table of those types is the same.
    auto made = d::InternalTableDefinition::normal(redb::U64::type(), redb::Str::type());
    made.length = (*def)->length;
    made.root = (*def)->root;
    EXPECT_EQ(made.encode(), (*def)->encode());
    // A definition cut short anywhere is an error, not a read past its end.
    auto bytes = (*def)->encode();
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        auto cut = d::InternalTableDefinition::decode(d::ByteView(bytes.data(), n));
        if (n < bytes.size() - 4) {  // beyond that only the value type name shrinks
            EXPECT_FALSE(cut.has_value()) << n;
        }
    }
}

}  // namespace
