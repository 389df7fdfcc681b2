// A damaged tree in which one page has two parents: the whole-tree walks must stop with an error
// instead of repeating entries or giving the page up twice.
#include <gtest/gtest.h>

#include "btree.h"
#include "page_store.h"

namespace {

namespace d = redb::detail;

TEST(SharedPage, WholeTreeWalksRefuseAPageReachedTwice) {
    redb::InMemoryBackend backend;
    d::SuperHeader header = d::SuperHeader::new_database(0);
    d::PageStore store(backend, header);
    const d::Widths widths{8, std::nullopt};
    const d::PageNumber leaf{0, 1, 0};
    const d::PageNumber branch{0, 2, 0};
    std::vector<d::Entry> entries{{d::Bytes(8, 1), d::Bytes{'a'}}};
    store.put(leaf, d::encode_leaf(entries, widths));
    std::vector<d::ChildRef> children{{leaf, {}}, {leaf, {}}};
    std::vector<d::Bytes> keys{d::Bytes(8, 1)};
    store.put(branch, d::encode_branch(children, keys, 8));

    d::Btree tree(store, d::TreeKind{widths, d::KeyOrder::u64});
    const std::optional<d::BtreeHeader> root = d::BtreeHeader{branch, {}, 2};

    auto all = tree.all(root);
    ASSERT_FALSE(all);
    EXPECT_EQ(redb::ErrorKind::Corrupted, all.error().kind);
    std::vector<d::PageNumber> freed;
    auto released = tree.release_all(root, freed);
    ASSERT_FALSE(released);
    EXPECT_EQ(redb::ErrorKind::Corrupted, released.error().kind);
    auto counted = tree.count(root);
    ASSERT_FALSE(counted);
    EXPECT_EQ(redb::ErrorKind::Corrupted, counted.error().kind);
}

}  // namespace
