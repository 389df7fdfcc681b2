#pragma once

#include <functional>
#include <optional>
#include <string>

#include "btree.h"
#include "stored_table_definition.h"

namespace redb {

// A tree of table definitions keyed by table name (&str): the user table tree of a commit
// slot, or its system table tree.
class TableTreeReader {
public:
    TableTreeReader(const PageStore& store, std::optional<BtreeHeader> root)
        : tree_(store, root, Widths{}, order_bytes), store_(&store) {}

    const BtreeReader& tree() const { return tree_; }
    Result<std::optional<TableDefinition>> find(const std::string& name) const;
    // Every table in name order.
    Status for_each(const std::function<bool(const std::string& name, const TableDefinition&)>& visit) const;
    // The tree itself and every table's tree (multimap value subtrees included) verify.
    Result<bool> verify_checksums() const;
    // Every page of the tree and of every table it names, multimap subtrees included.
    Status visit_pages(const std::function<Status(PageNumber)>& visit) const;

private:
    BtreeReader tree_;
    const PageStore* store_;
};

// The reader of a table's own tree, with the widths and key order of its definition (keys of
// unknown types are ordered byte-wise, which only affects lookups).
BtreeReader table_reader(const PageStore& store, const TableDefinition& definition);

// For multimap tables: the value subtree roots stored in the leaf values of the outer tree
// ("inline" value sets live in the leaf itself and have no pages of their own).
Status for_each_multimap_subtree(const PageStore& store, const TableDefinition& definition,
                                 const std::function<Status(const BtreeHeader&)>& visit);

}  // namespace redb
