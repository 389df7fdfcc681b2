#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "btree_page.h"
#include "key_order.h"
#include "page_store.h"
#include "super_header.h"

namespace redb::detail {

// One B-tree of the file, given by its root (none for an empty tree). Every lookup goes down
// one descent, every whole-tree job (iteration, counting, checksum verification, page visits,
// giving pages up) through one walk, and edits are copy-on-write: each changed page is written
// anew, or rewritten in place when this transaction wrote it, and the pages it replaces go to
// `freed`. A damaged tree (bad page, cycle, a page reached twice, depth beyond the limit) ends
// in Corrupted, never in a crash or an endless walk.
class Btree {
  public:
    Btree(PageStore& store, TreeKind kind) : store_(store), kind_(kind) {}

    Result<std::optional<Bytes>> get(const std::optional<BtreeHeader>& root, ByteView key);
    Result<std::optional<Entry>> first(const std::optional<BtreeHeader>& root);
    Result<std::optional<Entry>> last(const std::optional<BtreeHeader>& root);

    // Each pair in key order until `visit` returns false.
    Status for_each(const std::optional<BtreeHeader>& root,
                    const std::function<bool(ByteView key, ByteView value)>& visit);
    Result<std::vector<Entry>> all(const std::optional<BtreeHeader>& root);
    // Pairs counted by walking (the stored count is root->length).
    Result<std::uint64_t> count(const std::optional<BtreeHeader>& root);
    // Whether every page checksum matches the one its parent (or the root) records; a tree too
    // damaged to walk does not verify either. Only I/O errors are errors.
    Result<bool> verify_checksums(const std::optional<BtreeHeader>& root);
    // Every page of the tree once, parents before children.
    Status visit_pages(const std::optional<BtreeHeader>& root,
                       const std::function<Status(PageNumber)>& visit);
    // Gives up every page of the tree.
    Status release_all(const std::optional<BtreeHeader>& root, std::vector<PageNumber>& freed);

    // Returns whether a value under the key was replaced.
    Result<bool> insert(std::optional<BtreeHeader>& root, ByteView key, ByteView value,
                        std::vector<PageNumber>& freed);
    // Returns whether the key was there.
    Result<bool> remove(std::optional<BtreeHeader>& root, ByteView key,
                        std::vector<PageNumber>& freed);

  private:
    struct Walk;
    // Nodes of one level after an edit: the pages, and the largest key under each (none for
    // the rightmost, which is bounded by the parent). `lone` marks the single child left of a
    // branch that lost all others.
    struct Level {
        std::vector<ChildRef> refs;
        std::vector<std::optional<Bytes>> maxes;
        bool lone = false;
    };

    Result<std::optional<Entry>> descend(
        const std::optional<BtreeHeader>& root,
        const std::function<std::size_t(const BranchView&)>& child,
        const std::function<std::optional<Entry>(const LeafView&)>& pick);
    Status walk(const std::optional<BtreeHeader>& root, Walk& w);
    // False when the walk was stopped (by the leaf visitor or a checksum mismatch).
    Result<bool> walk_page(PageNumber page, const Checksum& expected, std::size_t depth, Walk& w);

    Result<Level> insert_at(PageNumber page, const std::optional<Bytes>& max, ByteView key,
                            ByteView value, bool& replaced, std::size_t depth,
                            std::vector<PageNumber>& freed);
    Result<std::optional<Level>> remove_at(PageNumber page, const std::optional<Bytes>& max,
                                           ByteView key, std::size_t depth,
                                           std::vector<PageNumber>& freed);
    Result<Level> write_leaves(const std::vector<Entry>& entries, std::optional<PageNumber> reuse,
                               std::vector<PageNumber>& freed);
    Result<Level> write_branches(const std::vector<ChildRef>& refs,
                                 const std::vector<std::optional<Bytes>>& maxes,
                                 std::optional<PageNumber> reuse, std::vector<PageNumber>& freed);
    Result<ChildRef> write_node(Bytes content, std::optional<PageNumber>& reuse);
    Result<std::optional<BtreeHeader>> finish_root(Level level, std::uint64_t length,
                                                   std::vector<PageNumber>& freed);

    PageStore& store_;
    TreeKind kind_;
};

}  // namespace redb::detail
