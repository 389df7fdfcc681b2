#include <algorithm>

#include "database_core.h"
#include "freed_pages.h"
#include "table_tree.h"

namespace redb::detail {

namespace {

const TreeKind kAllocatorStateTree{{5, std::nullopt}, KeyOrder::allocator_key};

// The size of a new database's region tracker, which its first layout makes room for.
std::size_t region_tracker_bytes() {
    static const std::size_t bytes =
        RegionTracker(format::kInitialRegions, format::kMaxPageOrder + 1).serialized_size();
    return bytes;
}

// Whether the file holds nothing but what an interrupted creation of a new database leaves: it
// is no longer than a new database, and its header page (`head`) is all zero, or holds the new
// header without its magic number (written before the magic, so that no half-made file is
// taken for a database). No database anyone committed looks like that.
bool is_interrupted_creation(ByteView head, std::uint64_t len, const SuperHeader& fresh) {
    if (len > fresh.layout.len()) return false;
    const auto zero = [](std::uint8_t b) { return b == 0; };
    if (std::all_of(head.begin(), head.end(), zero)) return true;
    const auto unmarked = fresh.encode(false);
    return head.size() >= unmarked.size() &&
           std::equal(unmarked.begin(), unmarked.end(), head.begin()) &&
           std::all_of(head.begin() + unmarked.size(), head.end(), zero);
}

// The file's header page, or as much of it as the file holds.
Result<Bytes> read_head(StorageBackend& backend, std::uint64_t len) {
    Bytes head(static_cast<std::size_t>(std::min<std::uint64_t>(len, format::kPageSize)));
    if (auto r = backend.read(0, head); !r) return std::unexpected(r.error());
    return head;
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

// The quick path, redb's own test: a two-phase primary whose allocator_state table holds the
// state of that very commit. Only the transaction id is read here; the state itself is loaded
// once something is to be written (load_allocator_state).
Result<bool> allocator_state_is_current(PageStore& store) {
    SuperHeader& h = store.header();
    if (!h.two_phase_commit) return false;
    auto def = TableTree(store, h.primary_slot().system_root).get(kAllocatorStateTable);
    if (!def) return std::unexpected(def.error());
    if (!*def || (*def)->multimap()) return false;
    const std::uint8_t id_key[5] = {5, 0, 0, 0, 0};
    auto id = Btree(store, kAllocatorStateTree).get((*def)->root, id_key);
    if (!id) return std::unexpected(id.error());
    return *id && (*id)->size() == 8 && load_u64((*id)->data()) == h.primary_slot().transaction_id;
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

Status load_allocator_state(PageStore& store) {
    SuperHeader& h = store.header();
    auto def = TableTree(store, h.primary_slot().system_root).get(kAllocatorStateTable);
    if (!def) return std::unexpected(def.error());
    if (!*def) return std::unexpected(Error::corrupted("the allocator state is missing"));
    auto rows = Btree(store, kAllocatorStateTree).all((*def)->root);
    if (!rows) return std::unexpected(rows.error());
    auto a = Allocators::from_state_entries(*rows, h.primary_slot().transaction_id, h.layout);
    if (!a) return std::unexpected(Error::corrupted("the allocator state does not fit the file"));
    store.set_allocators(std::move(*a));
    return {};
}

Result<std::shared_ptr<DatabaseCore>> open_database(std::unique_ptr<StorageBackend> backend) {
    auto len = backend->len();
    if (!len) return std::unexpected(len.error());
    auto head = read_head(*backend, *len);
    if (!head) return std::unexpected(head.error());
    const SuperHeader fresh = SuperHeader::new_database(region_tracker_bytes());
    const bool created = is_interrupted_creation(*head, *len, fresh);
    if (created) {
        if (auto s = initialize(*backend, fresh); !s) return std::unexpected(s.error());
        len = backend->len();
        if (!len) return std::unexpected(len.error());
        head = read_head(*backend, *len);
        if (!head) return std::unexpected(head.error());
    }

    auto header = parse_super_header(*head);
    if (!header) return std::unexpected(header.error());
    const bool recovery = needs_recovery(*header, *len);
    auto clean = finalize_super_header(*header, *len);
    if (!clean) return std::unexpected(clean.error());

    auto core = std::make_shared<DatabaseCore>(std::move(backend), std::move(*header));
    PageStore& store = core->store;
    auto quick = allocator_state_is_current(store);
    if (!quick) return std::unexpected(quick.error());
    // Checked before anything is written, so that a file whose trees are all broken is
    // reported and left as it was.
    if (!*quick) {
        if (auto s = rebuild_allocator_state(store); !s) return std::unexpected(s.error());
        core->repaired = true;
        core->allocators_loaded = true;
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
