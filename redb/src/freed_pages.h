#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "write_pages.h"

namespace redb::detail {

// Pages per entry of the freed-pages tables (the library uses these chunk sizes too).
inline constexpr std::size_t kDataFreedChunk = 400;
inline constexpr std::size_t kSystemFreedChunk = 200;

// Frees the pages that transactions before `before` gave up, and drops their entries; no
// reader of those older states is left once a new transaction commits.
Status free_pages_freed_before(PageStore& store, std::optional<TreeRoot>& system_root,
                               std::string_view table, std::uint64_t before,
                               std::vector<PageNumber>& system_freed);

// Records pages given up by transaction `txn` in a freed-pages table (created when missing).
Status record_freed_pages(PageStore& store, std::optional<TreeRoot>& system_root,
                          std::string_view table, std::uint64_t txn,
                          std::vector<PageNumber> pages, std::size_t chunk,
                          std::uint64_t& pagination, std::vector<PageNumber>& system_freed);

}  // namespace redb::detail
