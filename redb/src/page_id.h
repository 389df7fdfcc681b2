#pragma once

#include <compare>
#include <cstdint>

namespace redb::detail {

inline constexpr std::uint32_t kMaxPageIndex = 0x000F'FFFF;
inline constexpr std::uint32_t kMaxRegions = 0x0010'0000;
inline constexpr std::uint8_t kMaxOrder = 20;  // log2(kMaxPageIndex + 1)

// A page: its region, its index counted in pages of its own order, and its order (2^order base
// pages). Packed into 64 bits as the file stores it.
struct PageNumber {
    std::uint32_t region = 0;
    std::uint32_t index = 0;
    std::uint8_t order = 0;

    bool operator==(const PageNumber&) const = default;
    // Orders pages by region, then by their first base page.
    auto operator<=>(const PageNumber& o) const {
        if (region != o.region) return region <=> o.region;
        std::uint64_t a = std::uint64_t(index) << order, b = std::uint64_t(o.index) << o.order;
        if (a != b) return a <=> b;
        return order <=> o.order;
    }

    std::uint64_t encode() const {
        return (std::uint64_t(index) & kMaxPageIndex) |
               ((std::uint64_t(region) & 0xFFFFF) << 20) | (std::uint64_t(order & 0x1F) << 59);
    }
    static PageNumber decode(std::uint64_t v) {
        std::uint8_t order = std::uint8_t(v >> 59);
        std::uint32_t index = order > 20 ? 0 : std::uint32_t(v & (kMaxPageIndex >> order));
        return {std::uint32_t((v >> 20) & 0xFFFFF), index, order};
    }
};

}  // namespace redb::detail
