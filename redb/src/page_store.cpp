#include "page_store.h"

#include <algorithm>

namespace redb::detail {

namespace {
// Pages kept after reading; a transaction rarely touches more.
constexpr std::size_t kCachedPages = 4096;
}  // namespace

Result<PageRef> PageStore::read(PageNumber page, bool keep) {
    const std::uint64_t key = page.encode();
    if (auto it = dirty_.find(key); it != dirty_.end()) return it->second;
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    auto offset = layout().page_offset(page);
    if (!offset) return std::unexpected(offset.error());
    auto data = std::make_shared<Bytes>(layout().page_bytes(page));
    if (auto r = backend_->read(*offset, *data); !r) return std::unexpected(r.error());
    if (!keep) return data;
    if (cache_.size() >= kCachedPages) cache_.clear();
    cache_.emplace(key, data);
    return data;
}

Result<PageNumber> PageStore::allocate(std::uint8_t order) {
    auto page = allocators_.allocate(order, allocate_lowest);
    if (!page) {
        if (auto s = grow(order); !s) return std::unexpected(s.error());
        page = allocators_.allocate(order, allocate_lowest);
        if (!page)
            return std::unexpected(Error{ErrorKind::Io, "the database file has no room left", 0});
    }
    uncommitted_.insert(page->encode());
    cache_.erase(page->encode());
    return *page;
}

void PageStore::put(PageNumber page, Bytes content) {
    content.resize(layout().page_bytes(page), 0);
    dirty_[page.encode()] = std::make_shared<const Bytes>(std::move(content));
}

void PageStore::release(PageNumber page, std::vector<PageNumber>& pending) {
    const std::uint64_t key = page.encode();
    if (uncommitted_.erase(key) != 0) {
        dirty_.erase(key);
        allocators_.free(page);
        return;
    }
    pending.push_back(page);
}

void PageStore::free_committed(PageNumber page) {
    cache_.erase(page.encode());
    allocators_.free(page);
}

Status PageStore::write_dirty_pages() {
    // Neighbouring pages joined into one write.
    std::vector<std::pair<std::uint64_t, const Bytes*>> order;
    for (const auto& [key, content] : dirty_) {
        auto offset = layout().page_offset(PageNumber::decode(key));
        if (!offset) return std::unexpected(offset.error());
        order.emplace_back(*offset, content.get());
    }
    std::sort(order.begin(), order.end());
    Bytes run;
    std::uint64_t run_start = 0;
    auto flush = [&]() -> Status {
        if (run.empty()) return {};
        if (auto s = backend_->write(run_start, run); !s) return s;
        run.clear();
        return {};
    };
    for (const auto& [offset, content] : order) {
        if (!run.empty() && run_start + run.size() != offset)
            if (auto s = flush(); !s) return s;
        if (run.empty()) run_start = offset;
        run.insert(run.end(), content->begin(), content->end());
    }
    if (auto s = flush(); !s) return s;
    if (cache_.size() + dirty_.size() > kCachedPages) cache_.clear();
    for (auto& [key, content] : dirty_) cache_[key] = std::move(content);
    dirty_.clear();
    uncommitted_.clear();
    return {};
}

void PageStore::discard_dirty_pages() {
    for (std::uint64_t key : uncommitted_) allocators_.free(PageNumber::decode(key));
    uncommitted_.clear();
    dirty_.clear();
}

Status PageStore::write_header() {
    const auto bytes = header_.encode();
    return backend_->write(0, bytes);
}

Status PageStore::sync() {
    return backend_->sync_data();
}

bool PageStore::shrink_layout() {
    const DatabaseLayout& l = layout();
    if (allocators_.regions.empty()) return false;
    const std::uint32_t trailing = allocators_.trailing_free_pages();
    const std::uint32_t last_len = allocators_.regions.back().len();
    if (trailing == 0 || last_len == 0) return false;
    // A whole empty region goes; the last one keeps at least one page.
    const std::uint32_t reduce =
        l.num_regions() > 1 && trailing == last_len ? trailing : std::min(last_len - 1, trailing);
    if (reduce == 0) return false;
    const DatabaseLayout smaller = l.without_last_pages(reduce);
    allocators_.resize_to(smaller);
    header_.layout = smaller;
    return true;
}

Status PageStore::truncate_to_layout() {
    return backend_->set_len(layout().len());
}

// Grows the file as redb does: doubling while there is one region, then region by region.
Status PageStore::grow(std::uint8_t order) {
    const DatabaseLayout& l = layout();
    const std::uint64_t required = (std::uint64_t{1} << order) * l.page_size;
    const std::uint64_t max_region = std::uint64_t{l.region_max_data_pages} * l.page_size;
    std::uint64_t desired;
    if (l.full_regions > 0) {
        const std::uint64_t trailing = std::uint64_t{l.trailing_region_pages} * l.page_size;
        if (l.trailing_region_pages > 0) {
            desired = 2 * required < max_region - trailing
                          ? l.usable_bytes() + (max_region - trailing)
                          : l.usable_bytes() + 2 * max_region - trailing;
        } else {
            desired = l.usable_bytes() + max_region;
        }
    } else {
        desired = std::max(l.usable_bytes() * 2, l.usable_bytes() + required * 2);
    }
    const DatabaseLayout next = l.with_usable_bytes(desired);
    if (next.num_regions() > format::kMaxRegions)
        return std::unexpected(Error{ErrorKind::Io, "the database file has no room left", 0});
    if (auto s = backend_->set_len(next.len()); !s) return s;
    // The larger file must be durable before a header naming its layout can be.
    if (auto s = sync(); !s) return s;
    allocators_.resize_to(next);
    header_.layout = next;
    return {};
}

}  // namespace redb::detail
