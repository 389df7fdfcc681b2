#include "region_allocators.h"

#include <algorithm>

namespace redb::detail {

RegionTracker::RegionTracker(std::uint32_t regions, std::uint8_t orders) {
    for (int i = 0; i < orders; ++i)
        orders_.push_back(BtreeBitmap::padded(regions, regions, kMaxRegions));
}

std::optional<RegionTracker> RegionTracker::parse(ByteView bytes) {
    if (bytes.size() < 4) return std::nullopt;
    std::uint32_t orders = get_u32(bytes.data());
    if (orders == 0 || orders > kMaxOrder + 1) return std::nullopt;
    std::size_t start = 4 + 4 * std::size_t(orders);
    if (bytes.size() < start) return std::nullopt;
    RegionTracker t;
    for (std::uint32_t i = 0; i < orders; ++i) {
        std::size_t len = get_u32(bytes.data() + 4 + 4 * i);
        if (len > bytes.size() - start) return std::nullopt;
        auto b = BtreeBitmap::parse(bytes.subspan(start, len));
        if (!b) return std::nullopt;
        t.orders_.push_back(std::move(*b));
        start += len;
    }
    std::uint32_t n = t.orders_[0].len();
    for (auto& o : t.orders_)
        if (o.len() != n) return std::nullopt;
    return t;
}

std::size_t RegionTracker::serialized_size() const {
    std::size_t n = 4 + 4 * orders_.size();
    for (auto& o : orders_) n += o.serialized_size();
    return n;
}

Bytes RegionTracker::serialize() const {
    Bytes out;
    append_u32(out, std::uint32_t(orders_.size()));
    for (auto& o : orders_) append_u32(out, std::uint32_t(o.serialized_size()));
    for (auto& o : orders_) o.serialize(out);
    return out;
}

std::optional<std::uint32_t> RegionTracker::find_free(std::uint8_t order) const {
    if (order >= orders_.size()) return std::nullopt;
    return orders_[order].find_first_unset();
}

void RegionTracker::mark_free(std::uint8_t order, std::uint32_t region) {
    for (int i = 0; i <= order && i < int(orders_.size()); ++i) orders_[i].clear(region);
}

void RegionTracker::mark_full(std::uint8_t order, std::uint32_t region) {
    for (std::size_t i = order; i < orders_.size(); ++i) orders_[i].set(region);
}

void RegionTracker::resize(std::uint32_t regions) {
    for (auto& o : orders_) o.resize(regions, true);
}

Allocators Allocators::fresh(const DatabaseLayout& layout) {
    Allocators a;
    a.tracker = RegionTracker(std::max(kInitialRegions, layout.num_regions()), kMaxOrder + 1);
    for (std::uint32_t i = 0; i < layout.num_regions(); ++i) {
        BuddyAllocator region(layout.region_pages(i), layout.region_max_pages);
        a.tracker.mark_free(region.max_order(), i);
        a.regions.push_back(std::move(region));
    }
    return a;
}

void Allocators::resize_to(const DatabaseLayout& layout) {
    std::uint32_t n = layout.num_regions();
    if (n == 0) return;
    std::uint32_t last_pages = layout.region_pages(n - 1);
    bool shrink = n < regions.size() || (n == regions.size() && last_pages < regions.back().len());
    if (n == regions.size() && !regions.empty() && last_pages == regions.back().len()) return;
    if (shrink) {
        for (std::uint32_t i = n; i < regions.size(); ++i) tracker.mark_full(0, i);
        regions.resize(n);
        if (regions.back().len() > last_pages) regions.back().resize(last_pages);
        return;
    }
    std::uint32_t old = std::uint32_t(regions.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t pages = layout.region_pages(i);
        if (i < old) {
            if (pages != regions[i].len()) {
                regions[i].resize(pages);
                if (auto o = regions[i].highest_free_order()) tracker.mark_free(*o, i);
            }
        } else {
            BuddyAllocator region(pages, layout.region_max_pages);
            if (i >= tracker.len()) tracker.resize(i + 1);
            if (auto o = region.highest_free_order()) tracker.mark_free(*o, i);
            regions.push_back(std::move(region));
        }
    }
}

Checksum Allocators::hash() const {
    Checksum r;
    for (auto& a : regions) {
        Checksum h = a.hash();
        r.low ^= h.low;
        r.high ^= h.high;
    }
    return r;
}

bool Allocators::mark_allocated(const DatabaseLayout& layout, PageNumber page) {
    if (!layout.page_offset(page) || page.region >= regions.size()) return false;
    return regions[page.region].record_alloc(page.index, page.order);
}

std::optional<PageNumber> Allocators::allocate(std::uint8_t order, bool lowest) {
    while (auto region = tracker.find_free(order)) {
        if (*region < regions.size()) {
            BuddyAllocator& a = regions[*region];
            auto index = lowest ? a.alloc_lowest(order) : a.alloc(order);
            if (index) return PageNumber{*region, *index, order};
        }
        tracker.mark_full(order, *region);
    }
    return std::nullopt;
}

void Allocators::free(PageNumber page) {
    std::uint8_t order = regions[page.region].free(page.index, page.order);
    tracker.mark_free(order, page.region);
}

}  // namespace redb::detail
