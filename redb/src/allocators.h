#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "btree_page.h"
#include "buddy_allocator.h"
#include "layout.h"
#include "page_number.h"

namespace redb::detail {

// Per order, which regions may still have a free block of that order.
class RegionTracker {
  public:
    RegionTracker() = default;
    RegionTracker(std::uint32_t regions, std::uint8_t orders);
    static std::optional<RegionTracker> parse(ByteView bytes);
    Bytes serialize() const;
    std::size_t serialized_size() const;

    std::optional<std::uint32_t> find_free(std::uint8_t order) const;
    void mark_free(std::uint8_t order, std::uint32_t region);
    void mark_full(std::uint8_t order, std::uint32_t region);
    std::uint32_t len() const { return orders_.empty() ? 0 : orders_[0].len(); }
    void resize(std::uint32_t regions);

  private:
    std::vector<BtreeBitmap> orders_;
};

// The allocator state of the whole file: one buddy allocator per region and the tracker.
struct Allocators {
    RegionTracker tracker;
    std::vector<BuddyAllocator> regions;

    // Every page of the layout free.
    static Allocators fresh(const DatabaseLayout& layout);
    // Grows or shrinks to the layout, as a reopened file does.
    void resize_to(const DatabaseLayout& layout);
    // Marks a page allocated; false when it is outside the layout or overlaps another.
    bool mark_allocated(const DatabaseLayout& layout, PageNumber page);
    std::optional<PageNumber> allocate(std::uint8_t order, bool lowest);
    void free(PageNumber page);
    // Free base pages at the end of the last region.
    std::uint32_t trailing_free_pages() const;

    // The rows of the allocator_state system table that describe this state as of transaction
    // `id`: each region under tag 3 and its number, the tracker under tag 4, the id under tag 5.
    std::vector<Entry> state_entries(std::uint64_t id) const;
    // The state such rows describe, fitted to `layout`; none when they are not the state of
    // transaction `id` or do not parse.
    static std::optional<Allocators> from_state_entries(std::span<const Entry> rows,
                                                        std::uint64_t id,
                                                        const DatabaseLayout& layout);
};

}  // namespace redb::detail
