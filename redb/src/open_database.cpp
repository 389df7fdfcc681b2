#include "open_database.h"

#include <algorithm>
#include <vector>

#include "clean_state.h"
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

namespace {

struct ReadState {
    SuperHeader header;
    std::uint64_t len = 0;
    bool clean = false;       // header and file agree, nothing to reconcile
    bool quick = false;       // the allocator state of the primary commit is stored
};

// Reads and reconciles the header in memory. Errors come before anything is written.
Result<ReadState> read_state(snv::os::DbFile& file) {
    ReadState r;
    auto len = file.len();
    if (!len) return std::unexpected(io_error(len.error()));
    r.len = *len;
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(r.len, format::kSuperHeaderSize)));
    if (auto read = file.read_at(0, head); !read) return std::unexpected(io_error(read.error()));
    auto header = parse_super_header(head);
    if (!header) return std::unexpected(header.error());
    r.header = std::move(*header);
    const bool recovery = needs_recovery(r.header, r.len);
    auto clean = finalize_super_header(r.header, r.len);
    if (!clean) return std::unexpected(clean.error());
    r.clean = *clean && !recovery;
    PageStore store(file, r.header.layout, r.len);
    auto quick = allocator_state_is_valid(store, r.header);
    if (!quick) return std::unexpected(quick.error());
    r.quick = *quick;
    return r;
}

}  // namespace

Result<std::shared_ptr<detail::DatabaseState>> open_database(std::unique_ptr<snv::os::DbFile> file) {
    auto locked = file->try_lock();
    if (!locked) return std::unexpected(io_error(locked.error()));
    if (!*locked) return std::unexpected(Error{ErrorKind::AlreadyOpen, "Database already open. Cannot acquire lock.", 0});

    auto len = file->len();
    if (!len) return std::unexpected(io_error(len.error()));
    bool repaired = false;
    if (*len == 0) {
        if (auto made = write_clean_state(*file); !made) return std::unexpected(made.error());
    } else {
        auto before = read_state(*file);
        if (!before) return std::unexpected(before.error());
        if (!before->quick) {
            // Without stored allocator state redb repairs in full: the newest commit must verify,
            // or the previous one is used. Checked here first, so that a file whose trees are
            // all broken is reported and left as it was.
            repaired = true;
            PageStore store(*file, before->header.layout, before->len);
            auto ok = primary_verifies(store, before->header.primary_slot());
            if (!ok) return std::unexpected(ok.error());
            if (!*ok) {
                if (before->header.two_phase_commit)
                    return std::unexpected(Error::corrupted("Primary is corrupted despite 2-phase commit"));
                const CommitSlot& other = before->header.secondary_slot();
                auto again = other.corrupted() ? Result<bool>(false) : primary_verifies(store, other);
                if (!again) return std::unexpected(again.error());
                if (!*again) return std::unexpected(Error::corrupted("Failed to repair database. All roots are corrupted"));
            }
        }
        if (!before->clean || !before->quick || before->header.recovery_required) {
            if (auto fixed = write_clean_state(*file); !fixed) return std::unexpected(fixed.error());
        }
    }
    auto after = read_state(*file);
    if (!after) return std::unexpected(after.error());
    auto state = std::make_shared<detail::DatabaseState>(std::move(file), std::move(after->header), after->len);
    state->repaired = repaired;
    return state;
}

}  // namespace redb
