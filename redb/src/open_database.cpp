#include "open_database.h"

#include <algorithm>
#include <vector>

#include "table_tree.h"

namespace redb {

Result<bool> primary_verifies(const PageStore& store, const CommitSlot& slot) {
    auto user = TableTreeReader(store, slot.user_root).verify_checksums();
    if (!user || !*user) return user;
    return TableTreeReader(store, slot.system_root).verify_checksums();
}

Result<bool> allocator_state_is_valid(const PageStore& store, const SuperHeader& header) {
    if (!header.two_phase_commit) return false;
    auto table = TableTreeReader(store, header.primary_slot().system_root).find(kAllocatorStateTable);
    if (!table) return std::unexpected(table.error());
    if (!*table || (*table)->multimap()) return false;
    BtreeReader tree(store, (*table)->root, Widths{5u, std::nullopt}, order_bytes);
    // Key "transaction id": tag 5, then four zero bytes. Tags sort first, so a byte-wise
    // search finds it whatever order the region keys have among themselves.
    const std::uint8_t key[5] = {5, 0, 0, 0, 0};
    auto value = tree.get(key);
    if (!value) return std::unexpected(value.error());
    if (!*value || (*value)->size() != 8) return false;
    return load_u64((*value)->data()) == header.primary_slot().transaction_id;
}

Result<std::shared_ptr<detail::DatabaseState>> open_database(std::unique_ptr<snv::os::DbFile> file) {
    auto locked = file->try_lock();
    if (!locked) return std::unexpected(io_error(locked.error()));
    if (!*locked) return std::unexpected(Error{ErrorKind::AlreadyOpen, "Database already open. Cannot acquire lock.", 0});

    auto len = file->len();
    if (!len) return std::unexpected(io_error(len.error()));
    if (*len == 0)
        return std::unexpected(Error{ErrorKind::Unsupported, "initializing a new database is not available yet", 0});

    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(*len, format::kSuperHeaderSize)));
    if (auto r = file->read_at(0, head); !r) return std::unexpected(io_error(r.error()));
    auto header = parse_super_header(head);
    if (!header) return std::unexpected(header.error());

    const bool recovery = needs_recovery(*header, *len);
    auto clean = finalize_super_header(*header, *len);
    if (!clean) return std::unexpected(clean.error());

    auto state = std::make_shared<detail::DatabaseState>(std::move(file), std::move(*header), *len);
    // The reconciled header (layout, primary) goes back to the file with the repair commit.
    state->header_needs_rewrite = recovery || !*clean;
    auto quick = allocator_state_is_valid(state->store, state->header);
    if (!quick) return std::unexpected(quick.error());
    if (!*quick) {
        // Without allocator state saved by the last commit, redb repairs in full. The newest
        // commit may then be incomplete: its trees must verify, or the previous commit is used.
        state->repaired = true;
        auto ok = primary_verifies(state->store, state->header.primary_slot());
        if (!ok) return std::unexpected(ok.error());
        if (!*ok) {
            if (state->header.two_phase_commit)
                return std::unexpected(Error::corrupted("Primary is corrupted despite 2-phase commit"));
            state->header.primary ^= 1;
            if (state->header.primary_slot().corrupted())
                return std::unexpected(Error::corrupted("Failed to repair database. All roots are corrupted"));
            auto again = primary_verifies(state->store, state->header.primary_slot());
            if (!again) return std::unexpected(again.error());
            if (!*again) return std::unexpected(Error::corrupted("Failed to repair database. All roots are corrupted"));
        }
    }
    return state;
}

}  // namespace redb
