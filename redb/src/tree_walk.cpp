#include "tree_walk.h"

#include <string_view>
#include <vector>

#include "table_definition_codec.h"
#include "tree_editor.h"

namespace redb::detail {

Status walk_tree(PageStore& store, const TreeRoot& root, const Widths& widths, bool verify,
                 const PageVisitor& visit, const std::function<Status(ByteView)>& leaf_values) {
    struct Item {
        PageNumber page;
        Checksum expected;
        int depth;
    };
    std::vector<Item> stack{{root.page, root.checksum, 0}};
    while (!stack.empty()) {
        Item item = stack.back();
        stack.pop_back();
        if (item.depth > 64) return std::unexpected(corrupted("tree too deep"));
        if (auto s = visit(item.page); !s) return s;
        auto data = store.read(item.page);
        if (!data) return std::unexpected(data.error());
        if (verify) {
            auto sum = node_checksum(*data, widths);
            if (!sum || !(*sum == item.expected))
                return std::unexpected(corrupted("a page checksum does not match"));
        }
        if (data->empty()) return std::unexpected(corrupted("empty page"));
        if ((*data)[0] == kBranchType) {
            auto branch = decode_branch(*data, widths.key);
            if (!branch) return std::unexpected(corrupted("damaged branch page"));
            for (auto it = branch->children.rbegin(); it != branch->children.rend(); ++it)
                stack.push_back({it->page, it->checksum, item.depth + 1});
        } else if ((*data)[0] == kLeafType) {
            if (!leaf_values) continue;
            auto entries = decode_leaf(*data, widths);
            if (!entries) return std::unexpected(corrupted("damaged leaf page"));
            for (auto& e : *entries)
                if (auto s = leaf_values(e.value); !s) return s;
        } else {
            return std::unexpected(corrupted("unknown page type"));
        }
    }
    return {};
}

static Status walk_table(PageStore& store, const TableDefinition& def, bool verify,
                         const PageVisitor& visit) {
    if (!def.root) return {};
    if (def.table_type == kNormalTable)
        return walk_tree(store, *def.root, {def.fixed_key, def.fixed_value}, verify, visit);
    // A multimap value is an inline leaf (type 1) or the root of a tree of values (type 3).
    Widths inner{def.fixed_value, 0};
    return walk_tree(store, *def.root, {def.fixed_key, std::nullopt}, verify, visit,
                     [&](ByteView v) -> Status {
                         if (v.empty()) return std::unexpected(corrupted("empty multimap value"));
                         if (v[0] != 3) return {};
                         if (v.size() < 1 + TreeRoot::kBytes)
                             return std::unexpected(corrupted("short multimap value"));
                         return walk_tree(store, TreeRoot::load(v.data() + 1), inner, verify, visit);
                     });
}

Result<std::uint64_t> walk_table_tree(PageStore& store, const std::optional<TreeRoot>& root,
                                      bool verify, const PageVisitor& visit) {
    if (!root) return 0;
    std::uint64_t tables = 0;
    std::vector<TableDefinition> defs;
    auto s = walk_tree(store, *root, {}, verify, visit, [&](ByteView v) -> Status {
        auto def = TableDefinition::parse(v);
        if (!def) return std::unexpected(corrupted("damaged table definition"));
        defs.push_back(std::move(*def));
        ++tables;
        return {};
    });
    if (!s) return std::unexpected(s.error());
    for (auto& def : defs)
        if (auto w = walk_table(store, def, verify, visit); !w) return std::unexpected(w.error());
    return tables;
}

Status walk_freed_lists(PageStore& store, const std::optional<TreeRoot>& system_root,
                        std::string_view table, const PageVisitor& visit) {
    std::vector<PageNumber> unused;
    TreeEditor tables(store, {{}, KeyOrder::bytes}, unused);
    auto entry = tables.get(system_root, ByteView(reinterpret_cast<const std::uint8_t*>(table.data()),
                                                  table.size()));
    if (!entry) return std::unexpected(entry.error());
    if (!*entry) return {};
    auto def = TableDefinition::parse((*entry)->value);
    if (!def) return std::unexpected(corrupted("damaged table definition"));
    if (!def->root) return {};
    return walk_tree(store, *def->root, {16, std::nullopt}, false, [](PageNumber) -> Status { return {}; },
                     [&](ByteView v) -> Status {
                         if (v.size() < 2) return std::unexpected(corrupted("short page list"));
                         std::size_t n = get_u16(v.data());
                         if (v.size() < 2 + 8 * n) return std::unexpected(corrupted("short page list"));
                         for (std::size_t i = 0; i < n; ++i)
                             if (auto s = visit(PageNumber::decode(get_u64(v.data() + 2 + 8 * i))); !s)
                                 return s;
                         return {};
                     });
}

}  // namespace redb::detail
