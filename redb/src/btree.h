#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "btree_page.h"
#include "file_pages.h"
#include "super_header.h"

namespace redb {

// Orders two stored keys as the key type does.
using KeyOrder = std::strong_ordering (*)(Bytes, Bytes);
std::strong_ordering order_bytes(Bytes a, Bytes b);  // &str, &[u8]: byte-wise
std::strong_ordering order_u64(Bytes a, Bytes b);    // u64, little-endian
std::strong_ordering order_u32(Bytes a, Bytes b);

struct Entry {
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> value;
};

// Read access to one B-tree. A corrupt tree (bad page, cycle, excessive depth, a page reached
// twice) gives a Corrupted error, never a crash or an endless walk.
class BtreeReader {
public:
    BtreeReader(const PageStore& store, std::optional<BtreeHeader> root, Widths widths, KeyOrder order)
        : store_(&store), root_(root), widths_(widths), order_(order) {}

    const std::optional<BtreeHeader>& root() const { return root_; }

    Result<std::optional<std::vector<std::uint8_t>>> get(Bytes key) const;
    Result<std::optional<Entry>> first() const;
    Result<std::optional<Entry>> last() const;
    // Calls `visit` with each pair in key order until it returns false.
    Status for_each(const std::function<bool(Bytes key, Bytes value)>& visit) const;
    // Number of pairs, counted by walking the tree (the stored length is root()->length).
    Result<std::uint64_t> count() const;
    // Whether every page checksum matches the one its parent (or the root header) records.
    Result<bool> verify_checksums() const;
    // Every page of the tree, each once, parents before children.
    Status visit_pages(const std::function<Status(PageNumber)>& visit) const;

private:
    Result<std::optional<Entry>> edge(bool rightmost) const;

    const PageStore* store_;
    std::optional<BtreeHeader> root_;
    Widths widths_;
    KeyOrder order_;
};

}  // namespace redb
