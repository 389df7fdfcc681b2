#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "header_codec.h"
#include "node_codec.h"
#include "write_pages.h"

namespace redb::detail {

// How keys of a tree compare, as the library compares the key type.
enum class KeyOrder { unsigned64, bytes, freed_key, allocator_key };

struct TreeKind {
    Widths widths;
    KeyOrder order = KeyOrder::bytes;
};

int compare_keys(KeyOrder order, ByteView a, ByteView b);

// Copy-on-write changes of one B-tree: every changed page is written anew (or rewritten in
// place when this transaction wrote it), and the pages it replaces go to `freed`.
class TreeEditor {
public:
    TreeEditor(PageStore& store, TreeKind kind, std::vector<PageNumber>& freed)
        : store_(store), kind_(kind), freed_(freed) {}

    // Returns whether a value under the key was replaced.
    Result<bool> insert(std::optional<TreeRoot>& root, ByteView key, ByteView value);
    // Returns whether the key was there.
    Result<bool> remove(std::optional<TreeRoot>& root, ByteView key);
    Result<std::optional<Entry>> get(const std::optional<TreeRoot>& root, ByteView key);
    Result<std::optional<Entry>> first(const std::optional<TreeRoot>& root);
    Result<std::optional<Entry>> last(const std::optional<TreeRoot>& root);
    // Every entry in key order (for the small system tables).
    Result<std::vector<Entry>> all(const std::optional<TreeRoot>& root);
    // Gives up every page of the tree.
    Status release_all(const std::optional<TreeRoot>& root);

private:
    struct Level {
        std::vector<ChildRef> refs;
        std::vector<std::optional<Bytes>> maxes;
        bool lone = false;  // refs holds the single child of a node that lost all others
    };
    Result<Level> insert_at(PageNumber page, const std::optional<Bytes>& max, ByteView key,
                            ByteView value, bool& replaced);
    Result<std::optional<Level>> remove_at(PageNumber page, const std::optional<Bytes>& max,
                                           ByteView key);
    Result<Level> write_leaves(const std::vector<Entry>& entries, std::optional<PageNumber> reuse);
    Result<Level> write_branches(const std::vector<ChildRef>& refs,
                                 const std::vector<std::optional<Bytes>>& maxes,
                                 std::optional<PageNumber> reuse);
    Result<ChildRef> write_node(Bytes content, std::optional<PageNumber>& reuse);
    Result<std::optional<TreeRoot>> finish_root(Level level, std::uint64_t length);
    std::size_t child_index(const BranchNode& b, ByteView key) const;
    Result<std::optional<Entry>> edge(const std::optional<TreeRoot>& root, bool want_last);

    PageStore& store_;
    TreeKind kind_;
    std::vector<PageNumber>& freed_;
};

}  // namespace redb::detail
