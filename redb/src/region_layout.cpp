#include "region_layout.h"

namespace redb::detail {

std::uint64_t DatabaseLayout::file_length() const {
    std::uint32_t n = num_regions();
    if (n == 0) return page_size;
    std::uint64_t last_len = (std::uint64_t(region_header_pages) + region_pages(n - 1)) * page_size;
    return region_base(n - 1) + last_len;
}

std::optional<std::uint64_t> DatabaseLayout::page_offset(PageNumber page) const {
    if (page.order > kMaxOrder || page.region >= num_regions()) return std::nullopt;
    std::uint64_t end_page = (std::uint64_t(page.index) + 1) << page.order;
    if (end_page > region_pages(page.region)) return std::nullopt;
    return region_base(page.region) + std::uint64_t(region_header_pages) * page_size +
           (std::uint64_t(page.index) << page.order) * page_size;
}

DatabaseLayout DatabaseLayout::with_usable_bytes(std::uint64_t usable, std::uint32_t max_pages,
                                                 std::uint32_t header_pages,
                                                 std::uint32_t page_size) {
    DatabaseLayout l{page_size, header_pages, max_pages, 0, 0};
    std::uint64_t full_usable = std::uint64_t(max_pages) * page_size;
    std::uint64_t full = usable / full_usable;
    std::uint64_t rest = usable - full * full_usable;
    if (usable <= full_usable) {
        full = 0;
        rest = usable;
    }
    l.full_regions = std::uint32_t(full);
    l.trailing_pages = std::uint32_t((rest + page_size - 1) / page_size);
    return l;
}

std::optional<DatabaseLayout> DatabaseLayout::from_file_length(std::uint64_t length,
                                                               std::uint32_t header_pages,
                                                               std::uint32_t max_pages,
                                                               std::uint32_t page_size) {
    if (page_size == 0 || max_pages == 0) return std::nullopt;
    DatabaseLayout l{page_size, header_pages, max_pages, 0, 0};
    if (length < std::uint64_t(page_size) * (std::uint64_t(header_pages) + 2)) return std::nullopt;
    if (length > page_size + std::uint64_t(kMaxRegions) * l.full_region_bytes()) return std::nullopt;
    std::uint64_t rest = length - page_size;
    std::uint64_t full = rest / l.full_region_bytes();
    rest -= full * l.full_region_bytes();
    l.full_regions = std::uint32_t(full);
    if (rest >= (std::uint64_t(header_pages) + 1) * page_size) {
        rest -= std::uint64_t(header_pages) * page_size;
        l.trailing_pages = std::uint32_t(rest / page_size);
    }
    if (l.file_length() != length || l.num_regions() == 0) return std::nullopt;
    return l;
}

}  // namespace redb::detail
