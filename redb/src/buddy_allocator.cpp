#include "buddy_allocator.h"

#include <algorithm>

#include "format.h"

namespace redb::detail {

static std::uint8_t usable_order(std::uint32_t pages) {
    std::uint8_t order = pages == 0 ? 0 : std::uint8_t(31 - __builtin_clz(pages));
    return std::min(format::kMaxPageOrder, order);
}

BuddyAllocator::BuddyAllocator(std::uint32_t num_pages, std::uint32_t max_page_capacity)
    : len_(num_pages), max_order_(usable_order(max_page_capacity)) {
    std::uint32_t capacity = max_page_capacity, pages = num_pages;
    for (int order = 0; order <= max_order_; ++order) {
        free_.push_back(BtreeBitmap::padded(pages, pages, capacity));
        pages /= 2;
        capacity /= 2;
    }
    std::uint32_t accounted = 0;
    for (int order = max_order_; order >= 0; --order) {
        std::uint32_t size = std::uint32_t(1) << order;
        while (accounted + size <= num_pages) {
            free_[order].clear(accounted / size);
            accounted += size;
        }
    }
}

std::optional<BuddyAllocator> BuddyAllocator::parse(ByteView bytes) {
    if (bytes.size() < 8) return std::nullopt;
    BuddyAllocator a;
    a.max_order_ = bytes[0];
    a.len_ = load_u32(bytes.data() + 4);
    if (a.max_order_ > format::kMaxPageOrder) return std::nullopt;
    std::size_t meta = 8, start = 8 + 4 * (std::size_t(a.max_order_) + 1);
    if (bytes.size() < start) return std::nullopt;
    for (int order = 0; order <= a.max_order_; ++order) {
        std::size_t end = load_u32(bytes.data() + meta);
        if (end < start || end > bytes.size()) return std::nullopt;
        auto bitmap = BtreeBitmap::parse(bytes.subspan(start, end - start));
        if (!bitmap) return std::nullopt;
        // Every order's bitmap must cover the pages of that order.
        if (bitmap->len() < (a.len_ >> order)) return std::nullopt;
        a.free_.push_back(std::move(*bitmap));
        start = end;
        meta += 4;
    }
    return a;
}

Bytes BuddyAllocator::serialize() const {
    Bytes out;
    out.push_back(max_order_);
    out.insert(out.end(), 3, 0);
    append_u32(out, len_);
    std::size_t offset = 8 + 4 * free_.size();
    for (auto& b : free_) {
        offset += b.serialized_size();
        append_u32(out, std::uint32_t(offset));
    }
    for (auto& b : free_) b.serialize(out);
    return out;
}

std::optional<std::uint8_t> BuddyAllocator::highest_free_order() const {
    for (int order = max_order_; order >= 0; --order)
        if (free_[order].has_unset()) return std::uint8_t(order);
    return std::nullopt;
}

std::optional<std::uint32_t> BuddyAllocator::alloc(std::uint8_t order) {
    if (order > max_order_) return std::nullopt;
    if (auto x = free_[order].alloc()) return x;
    auto upper = alloc(std::uint8_t(order + 1));
    if (!upper) return std::nullopt;
    free_[order].clear(*upper * 2 + 1);
    return *upper * 2;
}

std::optional<std::uint32_t> BuddyAllocator::alloc_lowest(std::uint8_t order) {
    auto first = alloc(order);
    if (!first) return std::nullopt;
    std::uint32_t best_at_order = *first;
    std::uint32_t best_index = *first;
    std::uint8_t best_order = order;
    std::uint64_t multiplier = 2;
    for (int i = order + 1; i <= max_order_; ++i, multiplier *= 2) {
        auto index = alloc(std::uint8_t(i));
        if (!index) continue;
        std::uint64_t at_order = *index * multiplier;
        if (at_order < best_at_order) {
            free(best_index, best_order);
            best_at_order = std::uint32_t(at_order);
            best_index = *index;
            best_order = std::uint8_t(i);
        } else {
            free(*index, std::uint8_t(i));
        }
    }
    while (best_order > order) {
        free_[best_order - 1].clear(best_index * 2 + 1);
        best_index *= 2;
        --best_order;
    }
    return best_index;
}

bool BuddyAllocator::record_alloc(std::uint32_t index, std::uint8_t order) {
    if (order > max_order_) return false;
    BtreeBitmap& bitmap = free_[order];
    if (index >= bitmap.len()) return false;
    if (bitmap.get(index)) {
        std::uint32_t upper = index / 2;
        if (!record_alloc(upper, std::uint8_t(order + 1))) return false;
        free_[order].clear(index ^ 1);
    } else {
        bitmap.set(index);
    }
    return true;
}

bool BuddyAllocator::is_free(std::uint32_t index, std::uint8_t order) const {
    for (int o = order; o <= max_order_; ++o, index /= 2) {
        if (index >= free_[o].len()) return false;
        if (!free_[o].get(index)) return true;
    }
    return false;
}

std::uint8_t BuddyAllocator::free(std::uint32_t index, std::uint8_t order) {
    if (order == max_order_) {
        free_[order].clear(index);
        return order;
    }
    BtreeBitmap& bitmap = free_[order];
    std::uint32_t buddy = index ^ 1;
    if (buddy >= bitmap.len() || bitmap.get(buddy)) {
        bitmap.clear(index);
        return order;
    }
    bitmap.set(buddy);
    return free(index / 2, std::uint8_t(order + 1));
}

std::optional<std::uint8_t> BuddyAllocator::find_free_order(std::uint32_t page) const {
    for (int order = 0; order <= max_order_; ++order, page /= 2) {
        if (page < free_[order].len() && !free_[order].get(page)) return std::uint8_t(order);
    }
    return std::nullopt;
}

std::uint32_t BuddyAllocator::trailing_free_pages() const {
    std::uint32_t free_pages = 0;
    if (len_ == 0) return 0;
    std::uint32_t next = len_ - 1;
    while (auto order = find_free_order(next)) {
        std::uint32_t size = std::uint32_t(1) << *order;
        free_pages += size;
        if (size > next) break;
        next -= size;
    }
    return free_pages;
}

void BuddyAllocator::resize(std::uint32_t new_len) {
    if (new_len > len_) {
        std::uint32_t processed = len_;
        std::uint32_t pages = new_len;
        for (auto& b : free_) {
            b.resize(pages, true);
            pages /= 2;
        }
        while (processed < new_len) {
            std::uint8_t order = processed == 0 ? 32 : std::uint8_t(__builtin_ctz(processed));
            std::uint32_t size = std::uint32_t(1) << order;
            if (order >= max_order_ || processed + size > new_len) break;
            free(processed / size, order);
            processed += size;
        }
        for (int order = max_order_; order >= 0; --order) {
            std::uint32_t size = std::uint32_t(1) << order;
            while (processed + size <= new_len) {
                free(processed / size, std::uint8_t(order));
                processed += size;
            }
        }
    } else {
        std::uint32_t processed = new_len;
        while (processed < len_) {
            std::uint8_t order = processed == 0 ? 32 : std::uint8_t(__builtin_ctz(processed));
            if (order >= max_order_) break;
            std::uint32_t size = std::uint32_t(1) << order;
            if (processed + size > len_) break;
            record_alloc(processed / size, order);
            processed += size;
        }
        for (int order = max_order_; order >= 0; --order) {
            std::uint32_t size = std::uint32_t(1) << order;
            while (processed + size <= len_) {
                record_alloc(processed / size, std::uint8_t(order));
                processed += size;
            }
        }
        std::uint32_t pages = new_len;
        for (auto& b : free_) {
            b.resize(pages, true);
            pages /= 2;
        }
    }
    len_ = new_len;
}

}  // namespace redb::detail
