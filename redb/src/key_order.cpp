#include "key_order.h"

#include <algorithm>
#include <utility>

namespace redb::detail {

namespace {

int compare_numbers(std::uint64_t a, std::uint64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Allocator state keys: tag 3 (a region and its u32 number), 4 (the tracker), 5 (the id).
std::pair<int, std::uint32_t> allocator_key_rank(ByteView k) {
    if (k.size() < 5) return {0, 0};
    switch (k[0]) {
        case 3:
            return {1, load_u32(k.data() + 1)};
        case 4:
            return {2, 0};
        case 5:
            return {3, 0};
        default:
            return {0, 0};
    }
}

}  // namespace

int compare_keys(KeyOrder order, ByteView a, ByteView b) {
    switch (order) {
        case KeyOrder::u64:
            if (a.size() == 8 && b.size() == 8)
                return compare_numbers(load_u64(a.data()), load_u64(b.data()));
            break;
        case KeyOrder::u32:
            if (a.size() == 4 && b.size() == 4)
                return compare_numbers(load_u32(a.data()), load_u32(b.data()));
            break;
        case KeyOrder::freed_key:
            if (a.size() == 16 && b.size() == 16) {
                const int c = compare_numbers(load_u64(a.data()), load_u64(b.data()));
                return c != 0 ? c : compare_numbers(load_u64(a.data() + 8), load_u64(b.data() + 8));
            }
            break;
        case KeyOrder::allocator_key: {
            const auto ra = allocator_key_rank(a), rb = allocator_key_rank(b);
            return ra < rb ? -1 : (rb < ra ? 1 : 0);
        }
        case KeyOrder::bytes:
            break;
    }
    // Also a stored fixed-width key of the wrong size, which only a corrupt page holds.
    const auto r = std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

KeyOrder key_order_of(const TypeName& type, std::optional<std::uint32_t> width) {
    if (type.classification == format::kTypeInternal) {
        if (type.name == "u64" && width == 8u) return KeyOrder::u64;
        if (type.name == "u32" && width == 4u) return KeyOrder::u32;
        if (type.name == "redb::TransactionIdWithPagination" && width == 16u)
            return KeyOrder::freed_key;
        if (type.name == "redb::AllocatorStateKey" && width == 5u) return KeyOrder::allocator_key;
    }
    return KeyOrder::bytes;
}

}  // namespace redb::detail
