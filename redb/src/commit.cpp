#include "database_core.h"
#include "freed_pages.h"
#include "table_tree.h"

namespace redb::detail {

namespace {

// Records the system pages this transaction gave up. Recording changes system pages itself, so
// it repeats until a round gives nothing new up (pages written in this transaction are freed at
// once and never recorded).
Status flush_system_freed(PageStore& store, TransactionData& t, std::uint64_t& pagination) {
    for (int round = 0; !t.system_freed.empty(); ++round) {
        if (round > 16)
            return std::unexpected(Error::corrupted("freed-page bookkeeping does not settle"));
        std::vector<PageNumber> pages = std::move(t.system_freed);
        t.system_freed.clear();
        if (auto s =
                record_freed_pages(store, t.system_root, kSystemFreedTable, t.id, std::move(pages),
                                   kSystemFreedChunk, pagination, t.system_freed);
            !s)
            return s;
    }
    return {};
}

// Stores the allocator state as of this commit. Writing it allocates pages, which changes the
// state, so it is written again (in the same pages, same sizes) until it describes itself.
Status store_allocator_state(PageStore& store, TransactionData& t, std::uint64_t& pagination) {
    InternalTableDefinition def =
        InternalTableDefinition::normal(allocator_state_key_type(), ByteSlice::type());
    Btree tree(store, {{5, std::nullopt}, KeyOrder::allocator_key});
    std::vector<Entry> written;
    for (int round = 0; round < 8; ++round) {
        std::vector<Entry> rows = store.allocators().state_entries(t.id);
        bool same = rows.size() == written.size();
        for (std::size_t i = 0; same && i < rows.size(); ++i)
            same = rows[i].key == written[i].key && rows[i].value == written[i].value;
        if (same) return {};
        for (const Entry& row : rows) {
            auto r = tree.insert(def.root, row.key, row.value, t.system_freed);
            if (!r) return std::unexpected(r.error());
        }
        def.length = def.root ? def.root->length : 0;
        if (auto s = TableTree(store, t.system_root).put(kAllocatorStateTable, def, t.system_freed);
            !s)
            return s;
        if (auto s = flush_system_freed(store, t, pagination); !s) return s;
        written = std::move(rows);
    }
    return std::unexpected(Error::corrupted("allocator state does not settle"));
}

// Pages freed by transactions before this one are no longer needed, unless a live read
// transaction still sees the commit they belonged to.
std::uint64_t free_until(const DatabaseCore& core, std::uint64_t id) {
    if (core.readers.empty()) return id;
    return std::min(id, *core.readers.begin() + 1);
}

Status commit_steps(DatabaseCore& core, TransactionData& t, bool close) {
    PageStore& store = core.store;
    for (auto& [name, table] : t.tables) {
        if (!table.changed) continue;
        if (auto s = TableTree(store, t.user_root).put(name, table.definition, t.data_freed); !s)
            return s;
    }
    const std::uint64_t until = free_until(core, t.id);
    for (auto table : {kDataFreedTable, kSystemFreedTable}) {
        if (auto s = free_pages_freed_before(store, t.system_root, table, until, t.system_freed);
            !s)
            return s;
    }
    if (auto s = TableTree(store, t.system_root).drop(kAllocatorStateTable, t.system_freed); !s)
        return s;

    std::uint64_t data_pagination = 0, system_pagination = 0;
    if (auto s = record_freed_pages(store, t.system_root, kDataFreedTable, t.id, t.data_freed,
                                    kDataFreedChunk, data_pagination, t.system_freed);
        !s)
        return s;
    t.data_freed.clear();
    if (auto s = flush_system_freed(store, t, system_pagination); !s) return s;
    bool shrunk = false;
    if (close) {
        if (auto s = store_allocator_state(store, t, system_pagination); !s) return s;
        // The stored state is from before the cut; an open fits it to the smaller layout.
        shrunk = store.shrink_layout();
    }

    if (auto s = store.write_dirty_pages(); !s) return s;
    SuperHeader& h = store.header();
    h.secondary_slot() = CommitSlot{t.user_root, t.system_root, t.id, std::nullopt};
    if (close) {
        // Two-phase: the new slot is durable before it becomes the primary.
        if (auto s = store.write_header(); !s) return s;
        if (auto s = store.sync(); !s) return s;
    }
    h.primary ^= 1;
    h.two_phase_commit = close;
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    // Only now that a header naming the smaller layout is durable.
    if (shrunk) return store.truncate_to_layout();
    return {};
}

}  // namespace

TransactionData TransactionData::next(const PageStore& store) {
    const CommitSlot& slot = store.header().primary_slot();
    TransactionData t;
    t.id = slot.transaction_id + 1;
    t.user_root = slot.user_root;
    t.system_root = slot.system_root;
    return t;
}

Status commit_transaction(DatabaseCore& core, TransactionData& t, bool close) {
    PageStore& store = core.store;
    store.allocate_lowest = close;
    auto r = commit_steps(core, t, close);
    store.allocate_lowest = false;
    if (!r) {
        core.poisoned = true;
        store.discard_dirty_pages();
    }
    return r;
}

}  // namespace redb::detail
