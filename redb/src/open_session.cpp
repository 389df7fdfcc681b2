#include <memory>

#include "freed_pages.h"
#include "session_state.h"
#include "system_tables.h"
#include "tree_editor.h"
#include "tree_walk.h"

namespace redb::detail {

namespace {


// A new file gets the library's default start: about 1 MiB of pages plus room for the region
// tracker, an empty two-phase header written first without and then with the magic number.
Status initialize(snv::os::DbFile& storage) {
    std::uint64_t tracker_bytes = RegionTracker(kInitialRegions, kMaxOrder + 1).serialized_size();
    std::uint64_t tracker_space = (tracker_bytes + 4095) / 4096 * 4096;
    DatabaseLayout layout =
        DatabaseLayout::with_usable_bytes((1u << 20) + tracker_space, kMaxPageIndex + 1, 0, 4096);
    auto io = [](const snv::os::Status& s) -> Status {
        if (!s) return std::unexpected(io_failure(s.error()));
        return {};
    };
    if (auto s = io(storage.set_len(layout.file_length())); !s) return s;
    SuperHeader h;
    h.two_phase_commit = true;
    h.layout = layout;
    auto bytes = h.serialize();
    std::fill(bytes.begin(), bytes.begin() + 9, 0);
    if (auto s = io(storage.write_at(0, bytes)); !s) return s;
    if (auto s = io(storage.sync()); !s) return s;
    bytes = h.serialize();
    if (auto s = io(storage.write_at(0, bytes)); !s) return s;
    return io(storage.sync());
}

Status select_primary(SuperHeader& h) {
    if (h.two_phase_commit) {
        if (h.primary_slot().corrupted)
            return std::unexpected(corrupted("primary commit slot damaged despite two-phase commit"));
        return {};
    }
    if (h.primary_slot().corrupted) {
        if (h.secondary_slot().corrupted)
            return std::unexpected(corrupted("both commit slots are damaged"));
        h.primary ^= 1;
        return {};
    }
    if (h.secondary_slot().transaction_id > h.primary_slot().transaction_id &&
        !h.secondary_slot().corrupted)
        h.primary ^= 1;
    return {};
}

// The quick path: a two-phase primary whose system tables hold the allocator state of that
// very commit.
Result<bool> load_allocator_state(PageStore& store) {
    SuperHeader& h = store.header();
    if (!h.two_phase_commit) return false;
    auto def = read_table(store, h.primary_slot().system_root, kAllocatorStateTable);
    if (!def) return std::unexpected(def.error());
    if (!*def) return false;
    std::vector<PageNumber> unused;
    TreeEditor editor(store, {{5, std::nullopt}, KeyOrder::allocator_key}, unused);
    auto entries = editor.all((*def)->root);
    if (!entries) return std::unexpected(entries.error());
    Allocators a;
    bool have_id = false, have_tracker = false;
    for (auto& e : *entries) {
        if (e.key.size() != 5) return false;
        if (e.key[0] == 5) {
            if (e.value.size() != 8 || get_u64(e.value.data()) != h.primary_slot().transaction_id)
                return false;
            have_id = true;
        } else if (e.key[0] == 4) {
            auto t = RegionTracker::parse(e.value);
            if (!t) return false;
            a.tracker = std::move(*t);
            have_tracker = true;
        } else if (e.key[0] == 3) {
            auto r = BuddyAllocator::parse(e.value);
            if (!r || get_u32(e.key.data() + 1) != a.regions.size()) return false;
            a.regions.push_back(std::move(*r));
        }
    }
    if (!have_id || !have_tracker || a.regions.empty()) return false;
    if (a.regions.size() > h.layout.num_regions()) return false;
    a.resize_to(h.layout);
    if (a.regions.size() != h.layout.num_regions()) return false;
    store.set_allocators(std::move(a));
    return true;
}

// Whether both trees of the primary slot read back with matching checksums.
Result<bool> primary_verifies(PageStore& store) {
    auto none = [](PageNumber) -> Status { return {}; };
    for (auto* root : {&store.header().primary_slot().user_root,
                       &store.header().primary_slot().system_root}) {
        auto r = walk_table_tree(store, *root, true, none);
        if (!r) {
            if (r.error().kind == ErrorKind::Corrupted) return false;
            return std::unexpected(r.error());
        }
    }
    return true;
}

// The full repair: pick the commit that verifies, rebuild the allocator state by marking every
// page reachable from it and every page its freed-pages tables still hold.
Status full_repair(PageStore& store) {
    SuperHeader& h = store.header();
    auto ok = primary_verifies(store);
    if (!ok) return std::unexpected(ok.error());
    if (!*ok) {
        if (h.two_phase_commit)
            return std::unexpected(corrupted("primary commit damaged despite two-phase commit"));
        h.primary ^= 1;
        if (h.primary_slot().corrupted) return std::unexpected(corrupted("both commits are damaged"));
        ok = primary_verifies(store);
        if (!ok) return std::unexpected(ok.error());
        if (!*ok) return std::unexpected(corrupted("no commit of the file verifies"));
    }
    Allocators a = Allocators::fresh(h.layout);
    auto mark = [&](PageNumber p) -> Status {
        if (!a.mark_allocated(h.layout, p))
            return std::unexpected(corrupted("a page is outside the file or used twice"));
        return {};
    };
    CommitSlot& slot = h.primary_slot();
    auto user_tables = walk_table_tree(store, slot.user_root, false, mark);
    if (!user_tables) return std::unexpected(user_tables.error());
    auto system_tables = walk_table_tree(store, slot.system_root, false, mark);
    if (!system_tables) return std::unexpected(system_tables.error());
    for (auto table : {kDataFreedTable, kSystemFreedTable})
        if (auto s = walk_freed_lists(store, slot.system_root, table, mark); !s) return s;
    store.set_allocators(std::move(a));
    // Table counts live only in the slot, where no checksum covers them: recount.
    std::optional<TreeRoot> user_root = slot.user_root, system_root = slot.system_root;
    if (user_root) user_root->length = *user_tables;
    if (system_root) system_root->length = *system_tables;

    h.recovery_required = false;
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    std::uint64_t next = slot.transaction_id + 1;
    CommitSlot& target = h.secondary_slot();
    target = CommitSlot{user_root, system_root, next, false, {}};
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    h.primary ^= 1;
    h.two_phase_commit = true;
    if (auto s = store.write_header(); !s) return s;
    return store.sync();
}

Error header_error(const HeaderError& e) {
    switch (e.problem) {
        case HeaderProblem::not_redb: return {ErrorKind::NotRedb, e.text, 0};
        case HeaderProblem::old_version: return {ErrorKind::UpgradeRequired, e.text, 0};
        case HeaderProblem::corrupted: break;
    }
    return Error::corrupted(e.text);
}

}  // namespace

Result<std::unique_ptr<SessionState>> open_session(std::unique_ptr<snv::os::DbFile> file) {
    auto locked = file->try_lock();
    if (!locked) return std::unexpected(io_failure(locked.error()));
    if (!*locked)
        return std::unexpected(
            Error{ErrorKind::AlreadyOpen, "Database already open. Cannot acquire lock.", 0});
    snv::os::DbFile& storage = *file;
    auto length = storage.len();
    if (!length) return std::unexpected(io_failure(length.error()));
    if (*length == 0) {
        if (auto s = initialize(storage); !s) return std::unexpected(s.error());
        length = storage.len();
        if (!length) return std::unexpected(io_failure(length.error()));
    }
    Bytes bytes(std::min<std::uint64_t>(*length, kHeaderBytes));
    if (auto s = storage.read_at(0, bytes); !s) return std::unexpected(io_failure(s.error()));
    if (bytes.size() < sizeof kMagic || !std::equal(kMagic, kMagic + sizeof kMagic, bytes.begin()))
        return std::unexpected(Error{ErrorKind::NotRedb, "not a redb database", 0});
    auto parsed = parse_header(bytes);
    if (!parsed) return std::unexpected(header_error(parsed.error()));
    SuperHeader h = *parsed;

    bool needs_recovery = h.recovery_required || h.layout.file_length() != *length;
    if (h.recovery_required || h.layout.file_length() != *length) {
        if (!h.recovery_required && *length < h.layout.file_length())
            return std::unexpected(corrupted("the file is shorter than its layout"));
        auto layout = DatabaseLayout::from_file_length(*length, h.layout.region_header_pages,
                                                       h.layout.region_max_pages, h.layout.page_size);
        if (!layout) return std::unexpected(corrupted("the file length fits no layout"));
        h.layout = *layout;
    }
    if (auto s = select_primary(h); !s) return std::unexpected(s.error());

    auto state = std::make_unique<SessionState>(std::move(file), std::move(h));
    PageStore& store = state->store;
    if (needs_recovery) {
        if (auto s = store.write_header(); !s) return std::unexpected(s.error());
        if (auto s = store.sync(); !s) return std::unexpected(s.error());
    }
    auto quick = load_allocator_state(store);
    if (!quick) return std::unexpected(quick.error());
    if (!*quick) {
        if (auto s = full_repair(store); !s) return std::unexpected(s.error());
        state->repaired = true;
    }
    // From here until the clean close a crash must be repaired by whoever opens the file next.
    store.header().recovery_required = true;
    if (auto s = store.write_header(); !s) return std::unexpected(s.error());
    if (auto s = store.sync(); !s) return std::unexpected(s.error());
    return state;
}

}  // namespace redb::detail
