// A damaged tree in which one page has two parents: the whole-tree walks of the writer must
// stop with an error instead of repeating entries or giving the page up twice.
#include <gtest/gtest.h>

#include "os/db_file.h"
#include "tree_editor.h"
#include "write_pages.h"

namespace {

namespace d = redb::detail;

TEST(SharedPage, WholeTreeWalksRefuseAPageReachedTwice) {
    snv::os::MemoryDbFile file;
    d::PageStore store(file, d::SuperHeader{});
    const d::Widths widths{8, std::nullopt};
    const d::PageNumber leaf{0, 1, 0};
    const d::PageNumber branch{0, 2, 0};
    std::vector<d::Entry> entries{{d::Bytes(8, 1), d::Bytes{'a'}}};
    store.put(leaf, d::encode_leaf(entries, 0, entries.size(), widths));
    std::vector<d::ChildRef> children{{leaf, {}}, {leaf, {}}};
    std::vector<d::Bytes> keys{d::Bytes(8, 1), d::Bytes(8, 1)};
    store.put(branch, d::encode_branch(children, keys, 0, children.size(), 8));

    std::vector<d::PageNumber> freed;
    d::TreeEditor editor(store, d::TreeKind{widths}, freed);
    const std::optional<d::TreeRoot> root = d::TreeRoot{branch, {}, 2};

    auto all = editor.all(root);
    ASSERT_FALSE(all);
    EXPECT_EQ(redb::ErrorKind::Corrupted, all.error().kind);
    auto released = editor.release_all(root);
    ASSERT_FALSE(released);
    EXPECT_EQ(redb::ErrorKind::Corrupted, released.error().kind);
}

}  // namespace
