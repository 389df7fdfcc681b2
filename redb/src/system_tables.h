#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "write_pages.h"
#include "table_definition_codec.h"

namespace redb::detail {

inline constexpr std::string_view kDataFreedTable = "data_pages_unreachable";
inline constexpr std::string_view kSystemFreedTable = "system_pages_unreachable";
inline constexpr std::string_view kAllocatorStateTable = "allocator_state";
inline constexpr std::string_view kSavepointTable = "persistent_savepoints";
inline constexpr std::string_view kDataAllocatedTable = "data_pages_allocated";

inline ByteView as_bytes(std::string_view s) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

// A table's definition in a table tree (the user one or the system one).
Result<std::optional<TableDefinition>> read_table(PageStore& store,
                                                  const std::optional<TreeRoot>& tree,
                                                  std::string_view name);
Status write_table(PageStore& store, std::optional<TreeRoot>& tree, std::string_view name,
                   const TableDefinition& def, std::vector<PageNumber>& freed);
// Removes a normal table and gives up all of its pages.
Status drop_table(PageStore& store, std::optional<TreeRoot>& tree, std::string_view name,
                  std::vector<PageNumber>& freed);

}  // namespace redb::detail
