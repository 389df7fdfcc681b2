#pragma once

#include <cstdint>
#include <optional>

#include "page_id.h"

namespace redb::detail {

// How the file after the first page is cut into regions: every region but the last is full.
struct DatabaseLayout {
    std::uint32_t page_size = 4096;
    std::uint32_t region_header_pages = 0;
    std::uint32_t region_max_pages = 0;
    std::uint32_t full_regions = 0;
    std::uint32_t trailing_pages = 0;  // 0: no partial trailing region

    std::uint32_t num_regions() const { return full_regions + (trailing_pages > 0 ? 1 : 0); }
    std::uint32_t region_pages(std::uint32_t region) const {
        return region == full_regions ? trailing_pages : region_max_pages;
    }
    std::uint64_t full_region_bytes() const {
        return (std::uint64_t(region_header_pages) + region_max_pages) * page_size;
    }
    std::uint64_t region_base(std::uint32_t region) const {
        return page_size + std::uint64_t(region) * full_region_bytes();
    }
    std::uint64_t file_length() const;
    std::uint64_t usable_bytes() const {
        return (std::uint64_t(full_regions) * region_max_pages + trailing_pages) * page_size;
    }
    // Byte range of a page; nullopt when it lies outside the layout.
    std::optional<std::uint64_t> page_offset(PageNumber page) const;
    std::uint64_t page_bytes(PageNumber page) const { return std::uint64_t(page_size) << page.order; }

    // The layout with room for at least `usable` bytes of pages.
    static DatabaseLayout with_usable_bytes(std::uint64_t usable, std::uint32_t region_max_pages,
                                            std::uint32_t header_pages, std::uint32_t page_size);
    // The layout a file of this length has; nullopt when no layout has exactly that length.
    static std::optional<DatabaseLayout> from_file_length(std::uint64_t length,
                                                          std::uint32_t header_pages,
                                                          std::uint32_t region_max_pages,
                                                          std::uint32_t page_size);
};

}  // namespace redb::detail
