#include "freed_pages.h"
#include "session_state.h"
#include "system_tables.h"
#include "tree_editor.h"

namespace redb::detail {

namespace {

// Records the system pages this transaction gave up. Recording changes system pages itself, so
// it repeats until a round gives nothing new up (pages written in this transaction are freed
// at once and never recorded).
Status flush_system_freed(PageStore& store, TransactionState& t, std::uint64_t& pagination) {
    for (int round = 0; !t.system_freed.empty(); ++round) {
        if (round > 16) return std::unexpected(corrupted("freed-page bookkeeping does not settle"));
        std::vector<PageNumber> pages = std::move(t.system_freed);
        t.system_freed.clear();
        if (auto s = record_freed_pages(store, t.system_root, kSystemFreedTable, t.id, std::move(pages),
                                        kSystemFreedChunk, pagination, t.system_freed);
            !s)
            return s;
    }
    return {};
}

std::vector<Entry> allocator_state_entries(PageStore& store, std::uint64_t txn) {
    std::vector<Entry> out;
    const Allocators& a = store.allocators();
    for (std::uint32_t i = 0; i < a.regions.size(); ++i) {
        Bytes key{3, 0, 0, 0, 0};
        put_u32(key.data() + 1, i);
        out.push_back({key, a.regions[i].serialize()});
    }
    out.push_back({Bytes{4, 0, 0, 0, 0}, a.tracker.serialize()});
    Bytes id(8);
    put_u64(id.data(), txn);
    out.push_back({Bytes{5, 0, 0, 0, 0}, id});
    return out;
}

// Stores the allocator state as of this commit. Writing it allocates pages, which changes the
// state, so it is written again (in the same pages, same sizes) until it describes itself.
Status store_allocator_state(PageStore& store, TransactionState& t, std::uint64_t& pagination) {
    TableDefinition def = allocator_state_table_definition();
    TreeEditor editor(store, {{5, std::nullopt}, KeyOrder::allocator_key}, t.system_freed);
    std::vector<Entry> written;
    for (int round = 0; round < 8; ++round) {
        std::vector<Entry> entries = allocator_state_entries(store, t.id);
        bool same = entries.size() == written.size();
        for (std::size_t i = 0; same && i < entries.size(); ++i)
            same = entries[i].key == written[i].key && entries[i].value == written[i].value;
        if (same) return {};
        for (auto& e : entries) {
            auto r = editor.insert(def.root, e.key, e.value);
            if (!r) return std::unexpected(r.error());
        }
        def.length = def.root ? def.root->length : 0;
        if (auto s = write_table(store, t.system_root, kAllocatorStateTable, def, t.system_freed); !s)
            return s;
        if (auto s = flush_system_freed(store, t, pagination); !s) return s;
        written = std::move(entries);
    }
    return std::unexpected(corrupted("allocator state does not settle"));
}

Status commit_steps(SessionState& s, bool close) {
    PageStore& store = s.store;
    TransactionState& t = *s.txn;
    if (t.table && t.table_changed) {
        if (auto r = write_table(store, t.user_root, t.table_name, *t.table, t.data_freed); !r) return r;
    }
    for (auto table : {kDataFreedTable, kSystemFreedTable}) {
        if (auto r = free_pages_freed_before(store, t.system_root, table, t.id, t.system_freed); !r)
            return r;
    }
    if (auto r = drop_table(store, t.system_root, kAllocatorStateTable, t.system_freed); !r) return r;

    std::uint64_t data_pagination = 0, system_pagination = 0;
    if (auto r = record_freed_pages(store, t.system_root, kDataFreedTable, t.id, t.data_freed,
                                    kDataFreedChunk, data_pagination, t.system_freed);
        !r)
        return r;
    t.data_freed.clear();
    if (auto r = flush_system_freed(store, t, system_pagination); !r) return r;
    if (close) {
        if (auto r = store_allocator_state(store, t, system_pagination); !r) return r;
    }

    if (auto r = store.write_dirty_pages(); !r) return r;
    SuperHeader& h = store.header();
    h.secondary_slot() = CommitSlot{t.user_root, t.system_root, t.id, false, {}};
    if (close) {
        // Two-phase: the new slot is durable before it becomes the primary.
        if (auto r = store.write_header(); !r) return r;
        if (auto r = store.sync(); !r) return r;
    }
    h.primary ^= 1;
    h.two_phase_commit = close;
    if (auto r = store.write_header(); !r) return r;
    return store.sync();
}

}  // namespace

Status commit_transaction(SessionState& s, bool close) {
    s.store.use_lowest = close;
    auto r = commit_steps(s, close);
    s.store.use_lowest = false;
    s.txn.reset();
    if (!r) {
        s.poisoned = true;
        s.store.discard_dirty_pages();
    }
    return r;
}

}  // namespace redb::detail
