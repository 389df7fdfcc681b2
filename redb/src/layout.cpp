#include "layout.h"

#include <algorithm>
#include <string>

namespace redb::detail {

std::uint32_t DatabaseLayout::region_data_pages(std::uint32_t region) const {
    if (region < full_regions) return region_max_data_pages;
    if (region == full_regions) return trailing_region_pages;
    return 0;
}

std::uint64_t DatabaseLayout::len() const {
    std::uint64_t total = page_size + std::uint64_t{full_regions} * full_region_bytes();
    if (trailing_region_pages > 0)
        total += (std::uint64_t{region_header_pages} + trailing_region_pages) * page_size;
    return total;
}

Result<std::uint64_t> DatabaseLayout::page_offset(PageNumber page) const {
    if (page.order > format::kMaxPageOrder)
        return std::unexpected(
            Error::corrupted("page order " + std::to_string(page.order) + " is too large"));
    if (page.end_base_page() > region_data_pages(page.region))
        return std::unexpected(Error::corrupted(
            "page r" + std::to_string(page.region) + "." + std::to_string(page.index) + "/" +
            std::to_string(page.order) + " lies beyond its region"));
    return page_size + std::uint64_t{page.region} * full_region_bytes() +
           (std::uint64_t{region_header_pages} + page.first_base_page()) * page_size;
}

DatabaseLayout DatabaseLayout::without_last_pages(std::uint32_t pages) const {
    DatabaseLayout smaller = *this;
    if (smaller.trailing_region_pages > 0) {
        smaller.trailing_region_pages -= std::min(pages, smaller.trailing_region_pages);
    } else if (smaller.full_regions > 0) {
        smaller.full_regions -= 1;
        smaller.trailing_region_pages =
            region_max_data_pages > pages ? region_max_data_pages - pages : 0;
    }
    return smaller;
}

DatabaseLayout DatabaseLayout::with_usable_bytes(std::uint64_t usable) const {
    DatabaseLayout result = *this;
    const std::uint64_t full_usable = std::uint64_t{region_max_data_pages} * page_size;
    std::uint64_t full = usable / full_usable;
    std::uint64_t rest = usable - full * full_usable;
    if (usable <= full_usable) {
        full = 0;
        rest = usable;
    }
    result.full_regions = static_cast<std::uint32_t>(full);
    result.trailing_region_pages = static_cast<std::uint32_t>((rest + page_size - 1) / page_size);
    return result;
}

Result<DatabaseLayout> DatabaseLayout::for_file_len(std::uint64_t file_len) const {
    const std::uint64_t page = page_size;
    const std::uint64_t header_pages = region_header_pages;
    const std::uint64_t region_bytes = full_region_bytes();
    if (page == 0 || region_max_data_pages == 0)
        return std::unexpected(Error::corrupted("invalid region geometry"));
    if (file_len > page + std::uint64_t{format::kMaxRegions} * region_bytes)
        return std::unexpected(
            Error::corrupted("file length needs more regions than are addressable"));
    if (file_len < page * (header_pages + 2))
        return std::unexpected(Error::corrupted("file truncated below the smallest layout"));
    DatabaseLayout result = *this;
    std::uint64_t remaining = file_len - page;
    const std::uint64_t full = remaining / region_bytes;
    remaining -= full * region_bytes;
    result.full_regions = static_cast<std::uint32_t>(full);
    result.trailing_region_pages = 0;
    if (remaining >= (header_pages + 1) * page) {
        remaining -= header_pages * page;
        result.trailing_region_pages = static_cast<std::uint32_t>(remaining / page);
    }
    if (result.len() != file_len)
        return std::unexpected(Error::corrupted("file length does not fall on a region boundary"));
    return result;
}

}  // namespace redb::detail
