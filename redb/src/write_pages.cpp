#include "write_pages.h"

#include <algorithm>

namespace redb::detail {

Error io_failure(const snv::os::Error& e) { return Error::io(e.text, e.code); }

Status PageStore::sync() {
    if (auto s = storage_.sync(); !s) return std::unexpected(io_failure(s.error()));
    return {};
}

Result<ByteView> PageStore::read(PageNumber page) {
    std::uint64_t key = page.encode();
    if (auto it = dirty_.find(key); it != dirty_.end()) return ByteView(it->second);
    if (auto it = cache_.find(key); it != cache_.end()) return ByteView(it->second);
    auto offset = layout().page_offset(page);
    if (!offset) return std::unexpected(corrupted("a page lies outside the file"));
    Bytes data(layout().page_bytes(page));
    if (auto s = storage_.read_at(*offset, data); !s) return std::unexpected(io_failure(s.error()));
    if (cache_.size() > 4096) cache_.clear();
    auto [it, _] = cache_.emplace(key, std::move(data));
    return ByteView(it->second);
}

Result<PageNumber> PageStore::allocate(std::uint8_t order) {
    auto page = allocators_.allocate(order, use_lowest);
    if (!page) {
        if (auto s = grow(order); !s) return std::unexpected(s.error());
        page = allocators_.allocate(order, use_lowest);
        if (!page) return std::unexpected(Error{ErrorKind::Io, "the database file has no room left", 0});
    }
    uncommitted_.insert(page->encode());
    cache_.erase(page->encode());
    return *page;
}

void PageStore::put(PageNumber page, Bytes content) { dirty_[page.encode()] = std::move(content); }

void PageStore::release(PageNumber page, std::vector<PageNumber>& pending) {
    std::uint64_t key = page.encode();
    if (uncommitted_.erase(key)) {
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
    for (auto& [key, content] : dirty_) {
        PageNumber page = PageNumber::decode(key);
        auto offset = layout().page_offset(page);
        if (!offset) return std::unexpected(corrupted("a page lies outside the file"));
        content.resize(layout().page_bytes(page), 0);
        if (auto s = storage_.write_at(*offset, content); !s) return std::unexpected(io_failure(s.error()));
    }
    for (auto& [key, content] : dirty_) cache_[key] = std::move(content);
    if (cache_.size() > 4096) cache_.clear();
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
    auto bytes = header_.serialize();
    if (auto s = storage_.write_at(0, bytes); !s) return std::unexpected(io_failure(s.error()));
    return {};
}

// Grows the file the way the library does: doubling while there is one region.
Status PageStore::grow(std::uint8_t order) {
    const DatabaseLayout& l = layout();
    std::uint64_t required = (std::uint64_t(1) << order) * l.page_size;
    std::uint64_t max_region = std::uint64_t(l.region_max_pages) * l.page_size;
    std::uint64_t desired;
    if (l.full_regions > 0) {
        std::uint64_t trailing = std::uint64_t(l.trailing_pages) * l.page_size;
        if (l.trailing_pages > 0) {
            desired = 2 * required < max_region - trailing
                          ? l.usable_bytes() + (max_region - trailing)
                          : l.usable_bytes() + 2 * max_region - trailing;
        } else {
            desired = l.usable_bytes() + max_region;
        }
    } else {
        desired = std::max(l.usable_bytes() * 2, l.usable_bytes() + required * 2);
    }
    DatabaseLayout next = DatabaseLayout::with_usable_bytes(desired, l.region_max_pages,
                                                            l.region_header_pages, l.page_size);
    if (next.num_regions() > kMaxRegions) return std::unexpected(Error{ErrorKind::Io, "the database file has no room left", 0});
    if (auto s = storage_.set_len(next.file_length()); !s) return std::unexpected(io_failure(s.error()));
    if (auto s = sync(); !s) return s;
    allocators_.resize_to(next);
    header_.layout = next;
    return {};
}

}  // namespace redb::detail
