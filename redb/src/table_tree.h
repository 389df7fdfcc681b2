#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "btree.h"
#include "table_definition.h"

namespace redb::detail {

// A tree of table definitions keyed by table name: the user table tree of a commit slot, or
// its system table tree.
class TableTree {
  public:
    TableTree(PageStore& store, std::optional<BtreeHeader>& root)
        : store_(store), root_(root), tree_(store, TreeKind{}) {}

    Result<std::optional<InternalTableDefinition>> get(std::string_view name);
    Status put(std::string_view name, const InternalTableDefinition& definition,
               std::vector<PageNumber>& freed);
    // Removes a normal table and gives up all of its pages; nothing when it is missing.
    Status drop(std::string_view name, std::vector<PageNumber>& freed);
    // Every table in name order until `visit` returns false.
    Status for_each(
        const std::function<bool(std::string_view name, const InternalTableDefinition&)>& visit);

    // Every page of the tree and of every table it names (multimap value trees included), each
    // once. Returns the number of tables.
    Result<std::uint64_t> visit_all_pages(const std::function<Status(PageNumber)>& visit);
    // Whether the tree and every table's trees verify against their checksums.
    Result<bool> verify_checksums();

  private:
    PageStore& store_;
    std::optional<BtreeHeader>& root_;
    Btree tree_;
};

// The shape of a table's own tree (for a multimap table: the outer tree of keys).
TreeKind table_kind(const InternalTableDefinition& definition);

}  // namespace redb::detail
