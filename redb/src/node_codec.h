#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "le_bytes.h"
#include "page_id.h"

namespace redb::detail {

inline constexpr std::uint8_t kLeafType = 1;
inline constexpr std::uint8_t kBranchType = 2;

// Fixed widths of a tree's keys and values (nullopt: variable, with end offsets stored).
struct Widths {
    std::optional<std::uint32_t> key;
    std::optional<std::uint32_t> value;
};

struct Entry {
    Bytes key;
    Bytes value;
};

struct ChildRef {
    PageNumber page;
    Checksum checksum;
};

struct BranchNode {
    std::vector<ChildRef> children;
    std::vector<Bytes> keys;  // keys[i]: the largest key under children[i]
};

// Decoders check every offset against the page; nullopt means the page is damaged.
std::optional<std::vector<Entry>> decode_leaf(ByteView page, const Widths& widths);
std::optional<BranchNode> decode_branch(ByteView page, std::optional<std::uint32_t> key_width);
// The checksum a parent stores for this page: over the bytes up to the last key or value.
std::optional<Checksum> node_checksum(ByteView page, const Widths& widths);

std::size_t leaf_bytes(std::size_t count, std::size_t key_value_bytes, const Widths& widths);
std::size_t branch_bytes(std::size_t keys, std::size_t key_bytes,
                         std::optional<std::uint32_t> key_width);
Bytes encode_leaf(const std::vector<Entry>& entries, std::size_t begin, std::size_t end,
                  const Widths& widths);
Bytes encode_branch(const std::vector<ChildRef>& children, const std::vector<Bytes>& keys,
                    std::size_t begin, std::size_t end, std::optional<std::uint32_t> key_width);

}  // namespace redb::detail
