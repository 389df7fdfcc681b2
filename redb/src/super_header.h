#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "bytes.h"
#include "format.h"
#include "layout.h"
#include "page_number.h"
#include "redb/error.h"

namespace redb::detail {

// The root of a B-tree as commit slots and table definitions store it (32 bytes).
struct BtreeHeader {
    PageNumber root;
    Checksum checksum;
    std::uint64_t length = 0;  // number of entries in the tree
    bool operator==(const BtreeHeader&) const = default;

    static BtreeHeader decode(const std::uint8_t* p);
    void encode(std::uint8_t* p) const;
};

// One of the two commit slots.
struct CommitSlot {
    std::optional<BtreeHeader> user_root;    // root of the table tree (name -> definition)
    std::optional<BtreeHeader> system_root;  // root of the system table tree
    std::uint64_t transaction_id = 0;
    // Set when the stored slot checksum did not verify. Such a slot is written back exactly as
    // it was read (redb does the same), so it never turns valid by being re-serialized.
    std::optional<std::array<std::uint8_t, format::kSlotSize>> corrupt_bytes;

    bool corrupted() const { return corrupt_bytes.has_value(); }
    std::array<std::uint8_t, format::kSlotSize> encode() const;
};

// The super-header of a v3 database.
struct SuperHeader {
    int primary = 0;  // index of the primary commit slot, 0 or 1
    bool recovery_required = false;
    bool two_phase_commit = false;
    DatabaseLayout layout;
    std::array<CommitSlot, 2> slots;

    CommitSlot& primary_slot() { return slots[primary]; }
    const CommitSlot& primary_slot() const { return slots[primary]; }
    CommitSlot& secondary_slot() { return slots[primary ^ 1]; }

    // The 320 bytes at the start of the file. Without the magic number the bytes describe a
    // database that no reader accepts yet; a new database is written so first.
    std::array<std::uint8_t, format::kSuperHeaderSize> encode(bool include_magic = true) const;

    // The header of a new, empty database: one region with room for about 1 MiB of pages and
    // the region tracker, two-phase, no trees, transaction 0.
    static SuperHeader new_database(std::size_t region_tracker_bytes);
};

// Reads the super-header from the first bytes of a file, in redb's order: the magic number
// (NotRedb), the region geometry and, after a clean shutdown, the region counts (Corrupted),
// then the commit slots (UpgradeRequired for v1 and v2, Corrupted for an unknown version).
// Corrupt slot checksums are no error here; they are recorded in the slots.
Result<SuperHeader> parse_super_header(ByteView data);

// Whether opening must repair the header: the recovery flag is set, or the stored layout no
// longer matches the file length.
bool needs_recovery(const SuperHeader& header, std::uint64_t file_len);

// Reconciles the header with the file, as redb does before using it: rebuilds the layout from
// the file length when recovery is required (or the stored layout is stale) and picks the
// commit slot to use as primary. Returns true when nothing had to change ("clean").
Result<bool> finalize_super_header(SuperHeader& header, std::uint64_t file_len);

}  // namespace redb::detail
