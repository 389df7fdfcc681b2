#include "super_header.h"

#include <algorithm>
#include <string>

namespace redb::detail {

BtreeHeader BtreeHeader::decode(const std::uint8_t* p) {
    return {PageNumber::decode(load_u64(p)), Checksum::load(p + 8), load_u64(p + 24)};
}

void BtreeHeader::encode(std::uint8_t* p) const {
    store_u64(p, root.encode());
    checksum.store(p + 8);
    store_u64(p + 24, length);
}

std::array<std::uint8_t, format::kSlotSize> CommitSlot::encode() const {
    if (corrupt_bytes) return *corrupt_bytes;
    std::array<std::uint8_t, format::kSlotSize> out{};
    out[format::kSlotVersionOffset] = format::kVersion3;
    if (user_root) {
        out[format::kSlotUserRootPresentOffset] = 1;
        user_root->encode(out.data() + format::kSlotUserRootOffset);
    }
    if (system_root) {
        out[format::kSlotSystemRootPresentOffset] = 1;
        system_root->encode(out.data() + format::kSlotSystemRootOffset);
    }
    store_u64(out.data() + format::kSlotTransactionIdOffset, transaction_id);
    checksum_of(ByteView(out.data(), format::kSlotChecksumOffset))
        .store(out.data() + format::kSlotChecksumOffset);
    return out;
}

std::array<std::uint8_t, format::kSuperHeaderSize> SuperHeader::encode(bool include_magic) const {
    std::array<std::uint8_t, format::kSuperHeaderSize> out{};
    if (include_magic) std::copy(format::kMagic.begin(), format::kMagic.end(), out.begin());
    std::uint8_t god = static_cast<std::uint8_t>(primary & 1);
    if (recovery_required) god |= format::kRecoveryRequired;
    if (two_phase_commit) god |= format::kTwoPhaseCommit;
    out[format::kGodByteOffset] = god;
    store_u32(out.data() + format::kPageSizeOffset, layout.page_size);
    store_u32(out.data() + format::kRegionHeaderPagesOffset, layout.region_header_pages);
    store_u32(out.data() + format::kRegionMaxDataPagesOffset, layout.region_max_data_pages);
    store_u32(out.data() + format::kFullRegionsOffset, layout.full_regions);
    store_u32(out.data() + format::kTrailingRegionPagesOffset, layout.trailing_region_pages);
    auto s0 = slots[0].encode();
    auto s1 = slots[1].encode();
    std::copy(s0.begin(), s0.end(), out.begin() + format::kSlot0Offset);
    std::copy(s1.begin(), s1.end(), out.begin() + format::kSlot1Offset);
    return out;
}

SuperHeader SuperHeader::new_database(std::size_t region_tracker_bytes) {
    const std::uint64_t page = format::kPageSize;
    const std::uint64_t tracker_space = (region_tracker_bytes + page - 1) / page * page;
    DatabaseLayout geometry{format::kPageSize, 0, format::kMaxPageIndex + 1, 0, 0};
    SuperHeader h;
    h.two_phase_commit = true;
    h.layout = geometry.with_usable_bytes(format::kInitialUsableBytes + tracker_space);
    return h;
}

namespace {

Result<CommitSlot> parse_slot(const std::uint8_t* p) {
    const std::uint8_t version = p[format::kSlotVersionOffset];
    if (version == format::kVersion1 || version == format::kVersion2)
        return std::unexpected(
            Error{ErrorKind::UpgradeRequired,
                  "Manual upgrade required. Expected file format version 3, but file is version " +
                      std::to_string(version),
                  0});
    if (version != format::kVersion3)
        return std::unexpected(Error::corrupted("Expected file format version <= 3, found " +
                                                std::to_string(version)));
    CommitSlot slot;
    if (p[format::kSlotUserRootPresentOffset] != 0)
        slot.user_root = BtreeHeader::decode(p + format::kSlotUserRootOffset);
    if (p[format::kSlotSystemRootPresentOffset] != 0)
        slot.system_root = BtreeHeader::decode(p + format::kSlotSystemRootOffset);
    slot.transaction_id = load_u64(p + format::kSlotTransactionIdOffset);
    if (Checksum::load(p + format::kSlotChecksumOffset) !=
        checksum_of(ByteView(p, format::kSlotChecksumOffset))) {
        std::array<std::uint8_t, format::kSlotSize> raw{};
        std::copy(p, p + format::kSlotSize, raw.begin());
        slot.corrupt_bytes = raw;
    }
    return slot;
}

// Picks the primary slot; false when the primary had to change.
Result<bool> select_primary_slot(SuperHeader& h) {
    // A two-phase primary is known to be complete; the secondary is never trusted then.
    if (h.two_phase_commit) {
        if (h.primary_slot().corrupted())
            return std::unexpected(Error::corrupted("Primary is corrupted despite 2-phase commit"));
        return true;
    }
    if (h.primary_slot().corrupted()) {
        if (h.secondary_slot().corrupted())
            return std::unexpected(Error::corrupted("Both commit slots are corrupted"));
        h.primary ^= 1;
        return false;
    }
    // A crash may have flipped the god byte before the slot it points to was written.
    if (h.secondary_slot().transaction_id > h.primary_slot().transaction_id &&
        !h.secondary_slot().corrupted()) {
        h.primary ^= 1;
        return false;
    }
    return true;
}

}  // namespace

Result<SuperHeader> parse_super_header(ByteView data) {
    if (data.size() < format::kMagic.size() ||
        !std::equal(format::kMagic.begin(), format::kMagic.end(), data.begin()))
        return std::unexpected(
            Error{ErrorKind::NotRedb, "Not a redb database: magic number mismatch", 0});
    if (data.size() < format::kSuperHeaderSize)
        return std::unexpected(Error::corrupted("file too short for the database header"));
    const std::uint8_t* p = data.data();
    SuperHeader h;
    const std::uint8_t god = p[format::kGodByteOffset];
    h.primary = (god & format::kPrimaryBit) != 0 ? 1 : 0;
    h.recovery_required = (god & format::kRecoveryRequired) != 0;
    h.two_phase_commit = (god & format::kTwoPhaseCommit) != 0;
    h.layout.page_size = load_u32(p + format::kPageSizeOffset);
    h.layout.region_header_pages = load_u32(p + format::kRegionHeaderPagesOffset);
    h.layout.region_max_data_pages = load_u32(p + format::kRegionMaxDataPagesOffset);
    h.layout.full_regions = load_u32(p + format::kFullRegionsOffset);
    h.layout.trailing_region_pages = load_u32(p + format::kTrailingRegionPagesOffset);

    // The geometry never changes after creation, so it is checked whatever the flags say.
    if (h.layout.page_size != format::kPageSize)
        return std::unexpected(
            Error::corrupted("Database page size " + std::to_string(h.layout.page_size) +
                             " does not match expected " + std::to_string(format::kPageSize)));
    if (h.layout.region_max_data_pages == 0 ||
        h.layout.region_max_data_pages > format::kMaxPageIndex + 1)
        return std::unexpected(Error::corrupted("Invalid region data page count"));
    if (h.layout.region_header_pages > format::kMaxPageIndex + 1)
        return std::unexpected(Error::corrupted("Invalid region header page count"));
    // The region counts are not checksummed and may be torn by a crash; they are only trusted
    // after a clean shutdown and otherwise rebuilt from the file length.
    if (!h.recovery_required) {
        if (h.layout.trailing_region_pages > h.layout.region_max_data_pages)
            return std::unexpected(
                Error::corrupted("Trailing region data pages exceed region max"));
        const std::uint64_t regions =
            std::uint64_t{h.layout.full_regions} + (h.layout.trailing_region_pages > 0 ? 1 : 0);
        if (regions == 0 || regions > format::kMaxRegions)
            return std::unexpected(Error::corrupted("Invalid region count"));
    }
    auto s0 = parse_slot(p + format::kSlot0Offset);
    if (!s0) return std::unexpected(s0.error());
    auto s1 = parse_slot(p + format::kSlot1Offset);
    if (!s1) return std::unexpected(s1.error());
    h.slots = {std::move(*s0), std::move(*s1)};
    return h;
}

bool needs_recovery(const SuperHeader& header, std::uint64_t file_len) {
    return header.recovery_required || header.layout.len() != file_len;
}

Result<bool> finalize_super_header(SuperHeader& h, std::uint64_t file_len) {
    bool layout_matched = true;
    if (h.recovery_required) {
        auto rebuilt = h.layout.for_file_len(file_len);
        if (!rebuilt) return std::unexpected(rebuilt.error());
        layout_matched = rebuilt->full_regions == h.layout.full_regions &&
                         rebuilt->trailing_region_pages == h.layout.trailing_region_pages;
        h.layout = *rebuilt;
    } else {
        const std::uint64_t stored = h.layout.len();
        if (file_len < stored)
            return std::unexpected(Error::corrupted("File truncated below stored layout"));
        if (stored != file_len) {
            auto rebuilt = h.layout.for_file_len(file_len);
            if (!rebuilt) return std::unexpected(rebuilt.error());
            h.layout = *rebuilt;
            layout_matched = false;
        }
    }
    auto kept = select_primary_slot(h);
    if (!kept) return std::unexpected(kept.error());
    return *kept && layout_matched;
}

}  // namespace redb::detail
