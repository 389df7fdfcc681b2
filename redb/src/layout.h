#pragma once

#include <cstdint>

#include "page_number.h"
#include "redb/error.h"

namespace redb::detail {

// Where the regions lie: the super-header page, then `full_regions` regions of
// `region_max_data_pages` pages and, when `trailing_region_pages` > 0, one shorter region.
// Each region starts with `region_header_pages` header pages (0 in files redb v3 creates).
struct DatabaseLayout {
    std::uint32_t page_size = 0;
    std::uint32_t region_header_pages = 0;
    std::uint32_t region_max_data_pages = 0;
    std::uint32_t full_regions = 0;
    std::uint32_t trailing_region_pages = 0;

    bool operator==(const DatabaseLayout&) const = default;

    std::uint64_t full_region_bytes() const {
        return (std::uint64_t{region_header_pages} + region_max_data_pages) * page_size;
    }
    std::uint32_t num_regions() const { return full_regions + (trailing_region_pages > 0 ? 1 : 0); }
    // Data pages in region `region`; 0 for a region beyond the last.
    std::uint32_t region_data_pages(std::uint32_t region) const;
    // Bytes of data pages in all regions.
    std::uint64_t usable_bytes() const {
        return (std::uint64_t{full_regions} * region_max_data_pages + trailing_region_pages) *
               page_size;
    }
    // The file length this layout describes.
    std::uint64_t len() const;
    std::uint64_t page_bytes(PageNumber page) const {
        return std::uint64_t{page_size} << page.order;
    }
    // Byte offset of a page, or Corrupted when the page lies outside the layout.
    Result<std::uint64_t> page_offset(PageNumber page) const;

    // The layout without its last `pages` data pages; a region left empty goes away.
    DatabaseLayout without_last_pages(std::uint32_t pages) const;

    // The layout with room for at least `usable` bytes of pages, in regions shaped like this one.
    DatabaseLayout with_usable_bytes(std::uint64_t usable) const;
    // The layout a file of `file_len` bytes has, for the region geometry of this one; an error
    // for a length no layout produces.
    Result<DatabaseLayout> for_file_len(std::uint64_t file_len) const;
};

}  // namespace redb::detail
