#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bytes.h"
#include "page_number.h"
#include "redb/error.h"

namespace redb::detail {

// Key and value widths of a tree: a fixed width, or none for variable-width data (whose pages
// then store end offsets).
struct Widths {
    std::optional<std::uint32_t> key;
    std::optional<std::uint32_t> value;
};

// A leaf page (type 1): pairs in key order. `parse` checks every offset, so the accessors never
// leave the page.
class LeafView {
  public:
    static Result<LeafView> parse(ByteView page, const Widths& widths);

    std::size_t size() const { return num_pairs_; }
    ByteView key(std::size_t i) const {
        return page_.subspan(key_start(i), key_end(i) - key_start(i));
    }
    ByteView value(std::size_t i) const {
        return page_.subspan(value_start(i), value_end(i) - value_start(i));
    }
    // The bytes covered by the page checksum: up to the end of the last value.
    std::size_t used_end() const {
        return num_pairs_ == 0 ? header_end() : value_end(num_pairs_ - 1);
    }

  private:
    std::size_t header_end() const;
    std::size_t key_start(std::size_t i) const { return i == 0 ? header_end() : key_end(i - 1); }
    std::size_t key_end(std::size_t i) const;
    std::size_t value_start(std::size_t i) const {
        return i == 0 ? key_end(num_pairs_ - 1) : value_end(i - 1);
    }
    std::size_t value_end(std::size_t i) const;

    ByteView page_;
    Widths widths_;
    std::size_t num_pairs_ = 0;
};

// A branch page (type 2): num_keys separating keys and num_keys + 1 children, each with the
// checksum of its page. Child i holds the keys <= key(i); the last child the rest.
class BranchView {
  public:
    static Result<BranchView> parse(ByteView page, std::optional<std::uint32_t> key_width);

    std::size_t num_keys() const { return num_keys_; }
    std::size_t num_children() const { return num_keys_ + 1; }
    Checksum child_checksum(std::size_t i) const {
        return Checksum::load(page_.data() + 8 + 16 * i);
    }
    PageNumber child(std::size_t i) const {
        return PageNumber::decode(load_u64(page_.data() + 8 + 16 * num_children() + 8 * i));
    }
    ByteView key(std::size_t i) const {
        return page_.subspan(key_start(i), key_end(i) - key_start(i));
    }
    std::size_t used_end() const { return key_end(num_keys_ - 1); }

  private:
    std::size_t key_section_start() const;
    std::size_t key_start(std::size_t i) const {
        return i == 0 ? key_section_start() : key_end(i - 1);
    }
    std::size_t key_end(std::size_t i) const;

    ByteView page_;
    std::optional<std::uint32_t> key_width_;
    std::size_t num_keys_ = 0;
};

// The checksum a parent (or commit slot, or table definition) records for a page: XXH3-128 of
// the page's bytes up to the end of its used part. An error for a page that is neither a valid
// leaf nor a valid branch, or an empty leaf (which redb never writes).
Result<Checksum> page_checksum(ByteView page, const Widths& widths);

struct Entry {
    Bytes key;
    Bytes value;
};

struct ChildRef {
    PageNumber page;
    Checksum checksum;
};

// Encoded sizes, for packing pages.
std::size_t leaf_bytes(std::size_t pairs, std::size_t key_value_bytes, const Widths& widths);
std::size_t branch_bytes(std::size_t keys, std::size_t key_bytes,
                         std::optional<std::uint32_t> key_width);

Bytes encode_leaf(std::span<const Entry> entries, const Widths& widths);
// `keys[i]` separates children[i] from children[i + 1]; there is one key fewer than children.
Bytes encode_branch(std::span<const ChildRef> children, std::span<const Bytes> keys,
                    std::optional<std::uint32_t> key_width);

}  // namespace redb::detail
