#include "allocators.h"

#include <algorithm>

namespace redb::detail {

RegionTracker::RegionTracker(std::uint32_t regions, std::uint8_t orders) {
    for (int i = 0; i < orders; ++i)
        orders_.push_back(BtreeBitmap::padded(regions, regions, format::kMaxRegions));
}

std::optional<RegionTracker> RegionTracker::parse(ByteView bytes) {
    if (bytes.size() < 4) return std::nullopt;
    std::uint32_t orders = load_u32(bytes.data());
    if (orders == 0 || orders > format::kMaxPageOrder + 1) return std::nullopt;
    std::size_t start = 4 + 4 * std::size_t(orders);
    if (bytes.size() < start) return std::nullopt;
    RegionTracker t;
    for (std::uint32_t i = 0; i < orders; ++i) {
        std::size_t len = load_u32(bytes.data() + 4 + 4 * i);
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
    a.tracker = RegionTracker(std::max(format::kInitialRegions, layout.num_regions()),
                              format::kMaxPageOrder + 1);
    for (std::uint32_t i = 0; i < layout.num_regions(); ++i) {
        BuddyAllocator region(layout.region_data_pages(i), layout.region_max_data_pages);
        a.tracker.mark_free(region.max_order(), i);
        a.regions.push_back(std::move(region));
    }
    return a;
}

void Allocators::resize_to(const DatabaseLayout& layout) {
    std::uint32_t n = layout.num_regions();
    if (n == 0) return;
    std::uint32_t last_pages = layout.region_data_pages(n - 1);
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
        std::uint32_t pages = layout.region_data_pages(i);
        if (i < old) {
            if (pages != regions[i].len()) {
                regions[i].resize(pages);
                if (auto o = regions[i].highest_free_order()) tracker.mark_free(*o, i);
            }
        } else {
            BuddyAllocator region(pages, layout.region_max_data_pages);
            if (i >= tracker.len()) tracker.resize(i + 1);
            if (auto o = region.highest_free_order()) tracker.mark_free(*o, i);
            regions.push_back(std::move(region));
        }
    }
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

std::uint32_t Allocators::trailing_free_pages() const {
    return regions.empty() ? 0 : regions.back().trailing_free_pages();
}

namespace {
constexpr std::uint8_t kRegionTag = 3, kTrackerTag = 4, kTransactionTag = 5;
}  // namespace

std::vector<Entry> Allocators::state_entries(std::uint64_t id) const {
    std::vector<Entry> out;
    for (std::uint32_t i = 0; i < regions.size(); ++i) {
        Bytes key{kRegionTag, 0, 0, 0, 0};
        store_u32(key.data() + 1, i);
        out.push_back({std::move(key), regions[i].serialize()});
    }
    out.push_back({Bytes{kTrackerTag, 0, 0, 0, 0}, tracker.serialize()});
    Bytes value(8);
    store_u64(value.data(), id);
    out.push_back({Bytes{kTransactionTag, 0, 0, 0, 0}, std::move(value)});
    return out;
}

std::optional<Allocators> Allocators::from_state_entries(std::span<const Entry> rows,
                                                         std::uint64_t id,
                                                         const DatabaseLayout& layout) {
    Allocators a;
    bool have_id = false, have_tracker = false;
    for (const Entry& e : rows) {
        if (e.key.size() != 5) return std::nullopt;
        if (e.key[0] == kTransactionTag) {
            if (e.value.size() != 8 || load_u64(e.value.data()) != id) return std::nullopt;
            have_id = true;
        } else if (e.key[0] == kTrackerTag) {
            auto t = RegionTracker::parse(e.value);
            if (!t) return std::nullopt;
            a.tracker = std::move(*t);
            have_tracker = true;
        } else if (e.key[0] == kRegionTag) {
            auto r = BuddyAllocator::parse(e.value);
            if (!r || load_u32(e.key.data() + 1) != a.regions.size()) return std::nullopt;
            if (r->len() > layout.region_max_data_pages) return std::nullopt;
            a.regions.push_back(std::move(*r));
        }
    }
    if (!have_id || !have_tracker || a.regions.empty()) return std::nullopt;
    // A close that gave trailing pages back stored the state from before it cut the file.
    a.resize_to(layout);
    if (a.regions.size() != layout.num_regions()) return std::nullopt;
    return a;
}

}  // namespace redb::detail
