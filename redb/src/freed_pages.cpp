#include "freed_pages.h"

#include <algorithm>

#include "table_tree.h"

namespace redb::detail {

namespace {

const TreeKind kFreedTree{{16, std::nullopt}, KeyOrder::freed_key};

// The pages of one row: a u16 count, then that many page numbers.
Status for_each_listed(ByteView row, const std::function<Status(PageNumber)>& visit) {
    if (row.size() < 2) return std::unexpected(Error::corrupted("short page list"));
    const std::size_t n = load_u16(row.data());
    if (row.size() < 2 + 8 * n) return std::unexpected(Error::corrupted("short page list"));
    for (std::size_t i = 0; i < n; ++i)
        if (auto s = visit(PageNumber::decode(load_u64(row.data() + 2 + 8 * i))); !s) return s;
    return {};
}

}  // namespace

Status free_pages_freed_before(PageStore& store, std::optional<BtreeHeader>& system_root,
                               std::string_view table, std::uint64_t before,
                               std::vector<PageNumber>& system_freed) {
    TableTree tables(store, system_root);
    auto def = tables.get(table);
    if (!def) return std::unexpected(def.error());
    if (!*def || !(*def)->root) return {};
    Btree tree(store, kFreedTree);
    auto rows = tree.all((*def)->root);
    if (!rows) return std::unexpected(rows.error());
    bool changed = false;
    for (const Entry& row : *rows) {
        if (row.key.size() != 16 || load_u64(row.key.data()) >= before) continue;
        auto freed = for_each_listed(row.value, [&](PageNumber page) -> Status {
            if (!store.layout().page_offset(page) ||
                store.allocators().regions[page.region].is_free(page.index, page.order))
                return std::unexpected(Error::corrupted("a freed page is not allocated"));
            store.free_committed(page);
            return {};
        });
        if (!freed) return freed;
        auto r = tree.remove((*def)->root, row.key, system_freed);
        if (!r) return std::unexpected(r.error());
        changed = true;
    }
    if (!changed) return {};
    (*def)->length = (*def)->root ? (*def)->root->length : 0;
    return tables.put(table, **def, system_freed);
}

Status record_freed_pages(PageStore& store, std::optional<BtreeHeader>& system_root,
                          std::string_view table, std::uint64_t txn, std::vector<PageNumber> pages,
                          std::size_t chunk, std::uint64_t& pagination,
                          std::vector<PageNumber>& system_freed) {
    TableTree tables(store, system_root);
    auto def = tables.get(table);
    if (!def) return std::unexpected(def.error());
    InternalTableDefinition d =
        *def ? **def
             : InternalTableDefinition::normal(freed_pages_key_type(), freed_pages_value_type());
    bool changed = !*def;
    Btree tree(store, kFreedTree);
    while (!pages.empty()) {
        const std::size_t take = std::min(chunk, pages.size());
        Bytes key(16), value(2 + 8 * take);
        store_u64(key.data(), txn);
        store_u64(key.data() + 8, pagination++);
        store_u16(value.data(), static_cast<std::uint16_t>(take));
        for (std::size_t i = 0; i < take; ++i)
            store_u64(value.data() + 2 + 8 * i, pages[pages.size() - take + i].encode());
        pages.resize(pages.size() - take);
        auto r = tree.insert(d.root, key, value, system_freed);
        if (!r) return std::unexpected(r.error());
        changed = true;
    }
    if (!changed) return {};
    d.length = d.root ? d.root->length : 0;
    return tables.put(table, d, system_freed);
}

Status visit_freed_pages(PageStore& store, std::optional<BtreeHeader>& system_root,
                         std::string_view table, const std::function<Status(PageNumber)>& visit) {
    auto def = TableTree(store, system_root).get(table);
    if (!def) return std::unexpected(def.error());
    if (!*def || !(*def)->root) return {};
    Status bad;
    auto walked = Btree(store, kFreedTree).for_each((*def)->root, [&](ByteView, ByteView row) {
        bad = for_each_listed(row, visit);
        return bad.has_value();
    });
    if (!walked) return walked;
    return bad;
}

}  // namespace redb::detail
