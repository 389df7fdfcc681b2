#pragma once

#include "btree_page.h"
#include "bytes.h"
#include "table_definition.h"

namespace redb::detail {

// How the keys of a tree compare, as redb compares the key type.
enum class KeyOrder {
    bytes,          // &str, &[u8] and types this library does not know
    u64,            // little-endian unsigned
    u32,            // little-endian unsigned
    freed_key,      // transaction id, then pagination (two u64)
    allocator_key,  // regions by number, then the region tracker, then the transaction id
};

int compare_keys(KeyOrder order, ByteView a, ByteView b);

// The order of a stored key type; unknown types compare byte-wise, which only affects lookups.
KeyOrder key_order_of(const TypeName& type, std::optional<std::uint32_t> width);

// How one tree is laid out and ordered.
struct TreeKind {
    Widths widths;
    KeyOrder order = KeyOrder::bytes;
};

}  // namespace redb::detail
