#include <algorithm>

#include "database_core.h"
#include "freed_pages.h"
#include "table_tree.h"

namespace redb::detail {

namespace {

std::size_t region_tracker_bytes() {
    return RegionTracker(format::kInitialRegions, format::kMaxPageOrder + 1).serialized_size();
}

// Whether the file holds nothing but what an interrupted creation of a new database leaves: it
// is no longer than a new database, and its header page is all zero, or holds the new header
// without its magic number (written before the magic, so that no half-made file is taken for
// a database). No database anyone committed looks like that.
Result<bool> is_interrupted_creation(StorageBackend& backend, std::uint64_t len,
                                     const SuperHeader& fresh) {
    if (len > fresh.layout.len()) return false;
    Bytes head(static_cast<std::size_t>(std::min<std::uint64_t>(len, format::kPageSize)));
    if (auto r = backend.read(0, head); !r) return std::unexpected(r.error());
    const auto zero = [](std::uint8_t b) { return b == 0; };
    if (std::all_of(head.begin(), head.end(), zero)) return true;
    const auto unmarked = fresh.encode(false);
    return head.size() >= unmarked.size() &&
           std::equal(unmarked.begin(), unmarked.end(), head.begin()) &&
           std::all_of(head.begin() + unmarked.size(), head.end(), zero);
}

// Lays out a new database as redb does with its default settings: the file grows to its first
// layout and gets a two-phase header without trees, first without and then with the magic
// number. The open then rebuilds its allocator state, as redb's first open does.
Status initialize(StorageBackend& backend, const SuperHeader& fresh) {
    if (auto s = backend.set_len(fresh.layout.len()); !s) return s;
    if (auto s = backend.write(0, fresh.encode(false)); !s) return s;
    if (auto s = backend.sync_data(); !s) return s;
    if (auto s = backend.write(0, fresh.encode(true)); !s) return s;
    return backend.sync_data();
}

// The quick path: a two-phase primary whose system tables hold the allocator state of that very
// commit.
Result<bool> load_allocator_state(PageStore& store) {
    SuperHeader& h = store.header();
    if (!h.two_phase_commit) return false;
    auto def = TableTree(store, h.primary_slot().system_root).get(kAllocatorStateTable);
    if (!def) return std::unexpected(def.error());
    if (!*def || (*def)->multimap()) return false;
    auto rows = Btree(store, {{5, std::nullopt}, KeyOrder::allocator_key}).all((*def)->root);
    if (!rows) return std::unexpected(rows.error());
    auto a = Allocators::from_state_entries(*rows, h.primary_slot().transaction_id, h.layout);
    if (!a) return false;
    store.set_allocators(std::move(*a));
    return true;
}

// Whether both trees of the primary slot verify against their checksums.
Result<bool> primary_verifies(PageStore& store) {
    CommitSlot& slot = store.header().primary_slot();
    for (auto* root : {&slot.user_root, &slot.system_root}) {
        auto ok = TableTree(store, *root).verify_checksums();
        if (!ok || !*ok) return ok;
    }
    return true;
}

// The full repair: the newest commit must verify, or the one before it is used; then the
// allocator state is rebuilt by marking every page reachable from it and every page its
// freed-pages tables still hold. Nothing is written here.
Status rebuild_allocator_state(PageStore& store) {
    SuperHeader& h = store.header();
    auto ok = primary_verifies(store);
    if (!ok) return std::unexpected(ok.error());
    if (!*ok) {
        if (h.two_phase_commit)
            return std::unexpected(Error::corrupted("Primary is corrupted despite 2-phase commit"));
        h.primary ^= 1;
        ok = h.primary_slot().corrupted() ? Result<bool>(false) : primary_verifies(store);
        if (!ok) return std::unexpected(ok.error());
        if (!*ok)
            return std::unexpected(
                Error::corrupted("Failed to repair database. All roots are corrupted"));
    }
    store.set_allocators(Allocators::fresh(h.layout));
    auto mark = [&](PageNumber p) -> Status {
        if (!store.allocators().mark_allocated(h.layout, p))
            return std::unexpected(Error::corrupted("a page is outside the file or used twice"));
        return {};
    };
    CommitSlot& slot = h.primary_slot();
    auto user_tables = TableTree(store, slot.user_root).visit_all_pages(mark);
    if (!user_tables) return std::unexpected(user_tables.error());
    auto system_tables = TableTree(store, slot.system_root).visit_all_pages(mark);
    if (!system_tables) return std::unexpected(system_tables.error());
    for (auto table : {kDataFreedTable, kSystemFreedTable})
        if (auto s = visit_freed_pages(store, slot.system_root, table, mark); !s) return s;
    // Table counts live only in the slot, where no checksum covers them: recount.
    if (slot.user_root) slot.user_root->length = *user_tables;
    if (slot.system_root) slot.system_root->length = *system_tables;
    return {};
}

// Stores the repaired state as a two-phase commit of the next transaction id, as redb does.
Status commit_repair(PageStore& store) {
    SuperHeader& h = store.header();
    h.recovery_required = false;
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    const CommitSlot& slot = h.primary_slot();
    h.secondary_slot() =
        CommitSlot{slot.user_root, slot.system_root, slot.transaction_id + 1, std::nullopt};
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    h.primary ^= 1;
    h.two_phase_commit = true;
    if (auto s = store.write_header(); !s) return s;
    return store.sync();
}

// A persistent savepoint keeps pages alive that this library does not track.
Result<bool> has_persistent_savepoint(PageStore& store) {
    TableTree system(store, store.header().primary_slot().system_root);
    for (auto table : {kSavepointTable, kDataAllocatedTable}) {
        auto def = system.get(table);
        if (!def) return std::unexpected(def.error());
        if (*def && (*def)->root && (*def)->root->length > 0) return true;
    }
    return false;
}

}  // namespace

Result<std::shared_ptr<DatabaseCore>> open_database(std::unique_ptr<StorageBackend> backend) {
    auto len = backend->len();
    if (!len) return std::unexpected(len.error());
    const SuperHeader fresh = SuperHeader::new_database(region_tracker_bytes());
    auto interrupted = is_interrupted_creation(*backend, *len, fresh);
    if (!interrupted) return std::unexpected(interrupted.error());
    const bool created = *interrupted;
    if (created) {
        if (auto s = initialize(*backend, fresh); !s) return std::unexpected(s.error());
        len = backend->len();
        if (!len) return std::unexpected(len.error());
    }

    Bytes head(static_cast<std::size_t>(std::min<std::uint64_t>(*len, format::kSuperHeaderSize)));
    if (auto r = backend->read(0, head); !r) return std::unexpected(r.error());
    auto header = parse_super_header(head);
    if (!header) return std::unexpected(header.error());
    const bool recovery = needs_recovery(*header, *len);
    auto clean = finalize_super_header(*header, *len);
    if (!clean) return std::unexpected(clean.error());

    auto core = std::make_shared<DatabaseCore>(std::move(backend), std::move(*header));
    PageStore& store = core->store;
    auto quick = load_allocator_state(store);
    if (!quick) return std::unexpected(quick.error());
    // Checked before anything is written, so that a file whose trees are all broken is
    // reported and left as it was.
    if (!*quick) {
        if (auto s = rebuild_allocator_state(store); !s) return std::unexpected(s.error());
        core->repaired = true;
    }
    auto savepoint = has_persistent_savepoint(store);
    if (!savepoint) return std::unexpected(savepoint.error());
    core->has_savepoint = *savepoint;

    if (!*quick) {
        if (auto s = commit_repair(store); !s) return std::unexpected(s.error());
    } else if (recovery || !*clean) {
        store.header().recovery_required = false;
        if (auto s = store.write_header(); !s) return std::unexpected(s.error());
        if (auto s = store.sync(); !s) return std::unexpected(s.error());
    }
    // A file that had to be written at its open is closed with the final commit, so that the
    // next open needs no repair; a clean file is only written once a transaction writes.
    if ((created || recovery || !*clean || !*quick) && !core->has_savepoint) {
        if (auto s = core->begin_writable(); !s) return std::unexpected(s.error());
    }
    return core;
}

}  // namespace redb::detail
