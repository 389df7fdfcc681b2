#pragma once

#include <compare>
#include <cstdint>

#include "format.h"

namespace redb::detail {

// A page's address: region, index within the region in units of its own size, and order (the
// page spans 2^order base pages). Packed into 64 bits as the file stores it.
struct PageNumber {
    std::uint32_t region = 0;
    std::uint32_t index = 0;
    std::uint8_t order = 0;

    bool operator==(const PageNumber&) const = default;
    // By start address in the file, as redb orders pages.
    std::strong_ordering operator<=>(const PageNumber& other) const {
        if (region != other.region) return region <=> other.region;
        auto a = static_cast<std::uint64_t>(index) << order;
        auto b = static_cast<std::uint64_t>(other.index) << other.order;
        if (a != b) return a <=> b;
        return order <=> other.order;
    }

    // The index keeps only the bits its order leaves; the reserved bits are ignored.
    static PageNumber decode(std::uint64_t raw) {
        auto order = static_cast<std::uint8_t>(raw >> 59);
        auto index = static_cast<std::uint32_t>(raw & (format::kMaxPageIndex >> order));
        auto region = static_cast<std::uint32_t>((raw >> 20) & format::kMaxPageIndex);
        return {region, index, order};
    }
    std::uint64_t encode() const {
        std::uint64_t raw = index & format::kMaxPageIndex;
        raw |= static_cast<std::uint64_t>(region & format::kMaxPageIndex) << 20;
        raw |= static_cast<std::uint64_t>(order & 0x1F) << 59;
        return raw;
    }
    // First and one-past-last base (order 0) page covered within the region.
    std::uint64_t first_base_page() const { return static_cast<std::uint64_t>(index) << order; }
    std::uint64_t end_base_page() const { return (static_cast<std::uint64_t>(index) + 1) << order; }
};

}  // namespace redb::detail
