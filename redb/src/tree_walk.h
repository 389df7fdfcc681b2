#pragma once

#include <functional>
#include <optional>

#include "header_codec.h"
#include "node_codec.h"
#include "write_pages.h"

namespace redb::detail {

using PageVisitor = std::function<Status(PageNumber)>;

// Visits every page of one tree. With `verify`, a page whose checksum differs from the one its
// parent (or the root) records is an error; `leaf_values` sees every leaf value.
Status walk_tree(PageStore& store, const TreeRoot& root, const Widths& widths, bool verify,
                 const PageVisitor& visit,
                 const std::function<Status(ByteView)>& leaf_values = nullptr);

// Visits the pages of a table tree and of every table it names (multimap value trees
// included). Returns the number of tables.
Result<std::uint64_t> walk_table_tree(PageStore& store, const std::optional<TreeRoot>& root,
                                      bool verify, const PageVisitor& visit);

// Visits every page listed in a freed-pages system table.
Status walk_freed_lists(PageStore& store, const std::optional<TreeRoot>& system_root,
                        std::string_view table, const PageVisitor& visit);

}  // namespace redb::detail
