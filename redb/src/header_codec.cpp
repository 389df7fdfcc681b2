#include "header_codec.h"

#include <cstring>

namespace redb::detail {

namespace {
constexpr std::size_t kGodByte = 9;
constexpr std::uint8_t kPrimaryBit = 1, kRecoveryBit = 2, kTwoPhaseBit = 4;
constexpr std::size_t kSlot0 = 64, kSlotBytes = 128;
constexpr std::size_t kUserRoot = 8, kSystemRoot = 40, kTxnId = 104, kSlotChecksum = 112;
}  // namespace

void CommitSlot::store(std::uint8_t* p) const {
    if (corrupted) {
        std::memcpy(p, raw.data(), raw.size());
        return;
    }
    std::memset(p, 0, kSlotBytes);
    p[0] = 3;
    if (user_root) {
        p[1] = 1;
        user_root->store(p + kUserRoot);
    }
    if (system_root) {
        p[2] = 1;
        system_root->store(p + kSystemRoot);
    }
    put_u64(p + kTxnId, transaction_id);
    checksum_of(ByteView(p, kSlotChecksum)).store(p + kSlotChecksum);
}

std::array<std::uint8_t, kHeaderBytes> SuperHeader::serialize() const {
    std::array<std::uint8_t, kHeaderBytes> out{};
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[kGodByte] = std::uint8_t(primary | (recovery_required ? kRecoveryBit : 0) |
                                 (two_phase_commit ? kTwoPhaseBit : 0));
    put_u32(out.data() + 12, layout.page_size);
    put_u32(out.data() + 16, layout.region_header_pages);
    put_u32(out.data() + 20, layout.region_max_pages);
    put_u32(out.data() + 24, layout.full_regions);
    put_u32(out.data() + 28, layout.trailing_pages);
    slots[0].store(out.data() + kSlot0);
    slots[1].store(out.data() + kSlot0 + kSlotBytes);
    return out;
}

static std::expected<CommitSlot, HeaderError> parse_slot(const std::uint8_t* p) {
    std::uint8_t version = p[0];
    if (version == 1 || version == 2)
        return std::unexpected(HeaderError{HeaderProblem::old_version,
                                           "file format version " + std::to_string(version) +
                                               " must be upgraded by redb first"});
    if (version != 3)
        return std::unexpected(HeaderError{HeaderProblem::corrupted,
                                           "unknown file format version " + std::to_string(version)});
    CommitSlot slot;
    slot.corrupted = !(checksum_of(ByteView(p, kSlotChecksum)) == Checksum::load(p + kSlotChecksum));
    std::memcpy(slot.raw.data(), p, kSlotBytes);
    if (p[1]) slot.user_root = TreeRoot::load(p + kUserRoot);
    if (p[2]) slot.system_root = TreeRoot::load(p + kSystemRoot);
    slot.transaction_id = get_u64(p + kTxnId);
    return slot;
}

std::expected<SuperHeader, HeaderError> parse_header(ByteView bytes) {
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::unexpected(HeaderError{HeaderProblem::not_redb, "not a redb database"});
    const std::uint8_t* p = bytes.data();
    SuperHeader h;
    h.primary = p[kGodByte] & kPrimaryBit;
    h.recovery_required = p[kGodByte] & kRecoveryBit;
    h.two_phase_commit = p[kGodByte] & kTwoPhaseBit;
    h.layout = {get_u32(p + 12), get_u32(p + 16), get_u32(p + 20), get_u32(p + 24), get_u32(p + 28)};
    auto bad = [](std::string t) {
        return std::unexpected(HeaderError{HeaderProblem::corrupted, std::move(t)});
    };
    if (h.layout.page_size != 4096) return bad("page size is not 4096");
    if (h.layout.region_max_pages == 0 || h.layout.region_max_pages > kMaxPageIndex + 1)
        return bad("invalid region page count");
    if (h.layout.region_header_pages > kMaxPageIndex + 1) return bad("invalid region header size");
    for (int i = 0; i < 2; ++i) {
        auto slot = parse_slot(p + kSlot0 + i * kSlotBytes);
        if (!slot) return std::unexpected(slot.error());
        h.slots[i] = *slot;
    }
    if (!h.recovery_required) {
        if (h.layout.trailing_pages > h.layout.region_max_pages) return bad("invalid trailing region");
        std::uint64_t regions = std::uint64_t(h.layout.full_regions) + (h.layout.trailing_pages > 0);
        if (regions == 0 || regions > kMaxRegions) return bad("invalid region count");
    }
    return h;
}

}  // namespace redb::detail
