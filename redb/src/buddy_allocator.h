#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "btree_bitmap.h"

namespace redb::detail {

// The page allocator of one region: per order a bitmap whose clear bits are the free blocks of
// that order. Free buddies are always merged, so the state follows from the allocated pages.
class BuddyAllocator {
  public:
    BuddyAllocator() = default;
    BuddyAllocator(std::uint32_t num_pages, std::uint32_t max_page_capacity);
    static std::optional<BuddyAllocator> parse(ByteView bytes);
    Bytes serialize() const;

    std::uint32_t len() const { return len_; }
    std::uint8_t max_order() const { return max_order_; }
    std::optional<std::uint8_t> highest_free_order() const;
    std::optional<std::uint32_t> alloc(std::uint8_t order);
    std::optional<std::uint32_t> alloc_lowest(std::uint8_t order);
    // Marks a page allocated; false when it overlaps an allocated one or lies outside.
    bool record_alloc(std::uint32_t index, std::uint8_t order);
    // Returns the order of the free block the page ended up in.
    std::uint8_t free(std::uint32_t index, std::uint8_t order);
    bool is_free(std::uint32_t index, std::uint8_t order) const;
    std::uint32_t trailing_free_pages() const;
    void resize(std::uint32_t new_len);

  private:
    std::optional<std::uint8_t> find_free_order(std::uint32_t page) const;
    std::vector<BtreeBitmap> free_;
    std::uint32_t len_ = 0;
    std::uint8_t max_order_ = 0;
};

}  // namespace redb::detail
