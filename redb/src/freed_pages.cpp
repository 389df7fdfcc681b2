#include "freed_pages.h"

#include <algorithm>

#include "system_tables.h"
#include "tree_editor.h"

namespace redb::detail {

static const TreeKind kFreedTree{{16, std::nullopt}, KeyOrder::freed_key};

Status free_pages_freed_before(PageStore& store, std::optional<TreeRoot>& system_root,
                               std::string_view table, std::uint64_t before,
                               std::vector<PageNumber>& system_freed) {
    auto def = read_table(store, system_root, table);
    if (!def) return std::unexpected(def.error());
    if (!*def || !(*def)->root) return {};
    TreeEditor editor(store, kFreedTree, system_freed);
    auto entries = editor.all((*def)->root);
    if (!entries) return std::unexpected(entries.error());
    bool changed = false;
    for (auto& e : *entries) {
        if (e.key.size() != 16 || get_u64(e.key.data()) >= before) continue;
        if (e.value.size() < 2) return std::unexpected(corrupted("short page list"));
        std::size_t n = get_u16(e.value.data());
        if (e.value.size() < 2 + 8 * n) return std::unexpected(corrupted("short page list"));
        for (std::size_t i = 0; i < n; ++i) {
            PageNumber page = PageNumber::decode(get_u64(e.value.data() + 2 + 8 * i));
            if (!store.layout().page_offset(page) ||
                store.allocators().regions[page.region].is_free(page.index, page.order))
                return std::unexpected(corrupted("a freed page is not allocated"));
            store.free_committed(page);
        }
        auto r = editor.remove((*def)->root, e.key);
        if (!r) return std::unexpected(r.error());
        changed = true;
    }
    if (!changed) return {};
    (*def)->length = (*def)->root ? (*def)->root->length : 0;
    return write_table(store, system_root, table, **def, system_freed);
}

Status record_freed_pages(PageStore& store, std::optional<TreeRoot>& system_root,
                          std::string_view table, std::uint64_t txn,
                          std::vector<PageNumber> pages, std::size_t chunk,
                          std::uint64_t& pagination, std::vector<PageNumber>& system_freed) {
    auto def = read_table(store, system_root, table);
    if (!def) return std::unexpected(def.error());
    TableDefinition d = *def ? **def : freed_pages_table_definition();
    bool changed = !*def;
    TreeEditor editor(store, kFreedTree, system_freed);
    while (!pages.empty()) {
        std::size_t take = std::min(chunk, pages.size());
        Bytes key(16), value(2 + 8 * take);
        put_u64(key.data(), txn);
        put_u64(key.data() + 8, pagination++);
        put_u16(value.data(), std::uint16_t(take));
        for (std::size_t i = 0; i < take; ++i)
            put_u64(value.data() + 2 + 8 * i, pages[pages.size() - take + i].encode());
        pages.resize(pages.size() - take);
        auto r = editor.insert(d.root, key, value);
        if (!r) return std::unexpected(r.error());
        changed = true;
    }
    if (!changed) return {};
    d.length = d.root ? d.root->length : 0;
    return write_table(store, system_root, table, d, system_freed);
}

}  // namespace redb::detail
