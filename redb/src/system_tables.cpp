#include "system_tables.h"

#include "tree_editor.h"

namespace redb::detail {

static const TreeKind kTableTree{{std::nullopt, std::nullopt}, KeyOrder::bytes};

Result<std::optional<TableDefinition>> read_table(PageStore& store,
                                                  const std::optional<TreeRoot>& tree,
                                                  std::string_view name) {
    std::vector<PageNumber> unused;
    TreeEditor editor(store, kTableTree, unused);
    auto entry = editor.get(tree, as_bytes(name));
    if (!entry) return std::unexpected(entry.error());
    if (!*entry) return std::optional<TableDefinition>();
    auto def = TableDefinition::parse((*entry)->value);
    if (!def) return std::unexpected(corrupted("damaged definition of table " + std::string(name)));
    return std::optional<TableDefinition>(std::move(*def));
}

Status write_table(PageStore& store, std::optional<TreeRoot>& tree, std::string_view name,
                   const TableDefinition& def, std::vector<PageNumber>& freed) {
    TreeEditor editor(store, kTableTree, freed);
    auto r = editor.insert(tree, as_bytes(name), def.serialize());
    if (!r) return std::unexpected(r.error());
    return {};
}

Status drop_table(PageStore& store, std::optional<TreeRoot>& tree, std::string_view name,
                  std::vector<PageNumber>& freed) {
    auto def = read_table(store, tree, name);
    if (!def) return std::unexpected(def.error());
    if (!*def) return {};
    TreeEditor contents(store, {{(*def)->fixed_key, (*def)->fixed_value}, KeyOrder::bytes}, freed);
    if (auto s = contents.release_all((*def)->root); !s) return s;
    TreeEditor editor(store, kTableTree, freed);
    auto r = editor.remove(tree, as_bytes(name));
    if (!r) return std::unexpected(r.error());
    return {};
}

}  // namespace redb::detail
