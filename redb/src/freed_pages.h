#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "page_store.h"
#include "super_header.h"

namespace redb::detail {

// Pages per row of the freed-pages tables (redb's chunk sizes).
inline constexpr std::size_t kDataFreedChunk = 400;
inline constexpr std::size_t kSystemFreedChunk = 200;

// Frees the pages that transactions before `before` gave up, and drops their rows: no reader
// of the states those pages belonged to is left.
Status free_pages_freed_before(PageStore& store, std::optional<BtreeHeader>& system_root,
                               std::string_view table, std::uint64_t before,
                               std::vector<PageNumber>& system_freed);

// Records pages given up by transaction `txn` in a freed-pages table (created when missing).
Status record_freed_pages(PageStore& store, std::optional<BtreeHeader>& system_root,
                          std::string_view table, std::uint64_t txn, std::vector<PageNumber> pages,
                          std::size_t chunk, std::uint64_t& pagination,
                          std::vector<PageNumber>& system_freed);

// Every page listed in a freed-pages table.
Status visit_freed_pages(PageStore& store, std::optional<BtreeHeader>& system_root,
                         std::string_view table, const std::function<Status(PageNumber)>& visit);

}  // namespace redb::detail
