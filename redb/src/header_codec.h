#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "le_bytes.h"
#include "os/error.h"
#include "page_id.h"
#include "region_layout.h"

namespace redb::detail {

inline constexpr std::size_t kHeaderBytes = 320;
inline constexpr std::uint8_t kMagic[9] = {'r', 'e', 'd', 'b', 0x1A, 0x0A, 0xA9, 0x0D, 0x0A};

// Where a B-tree starts: its root page, the root's checksum and the number of entries.
struct TreeRoot {
    PageNumber page;
    Checksum checksum;
    std::uint64_t length = 0;
    bool operator==(const TreeRoot&) const = default;

    static constexpr std::size_t kBytes = 32;
    void store(std::uint8_t* p) const {
        put_u64(p, page.encode());
        checksum.store(p + 8);
        put_u64(p + 24, length);
    }
    static TreeRoot load(const std::uint8_t* p) {
        return {PageNumber::decode(get_u64(p)), Checksum::load(p + 8), get_u64(p + 24)};
    }
};

// One of the two commit slots.
struct CommitSlot {
    std::optional<TreeRoot> user_root;
    std::optional<TreeRoot> system_root;
    std::uint64_t transaction_id = 0;
    bool corrupted = false;
    std::array<std::uint8_t, 128> raw{};  // kept as read while the slot is corrupted

    void store(std::uint8_t* p) const;
};

struct SuperHeader {
    std::uint8_t primary = 0;
    bool recovery_required = false;
    bool two_phase_commit = false;
    DatabaseLayout layout;
    CommitSlot slots[2];

    CommitSlot& primary_slot() { return slots[primary]; }
    CommitSlot& secondary_slot() { return slots[primary ^ 1]; }
    std::array<std::uint8_t, kHeaderBytes> serialize() const;
};

enum class HeaderProblem { not_redb, old_version, corrupted };

struct HeaderError {
    HeaderProblem problem;
    std::string text;
};

// Reads the 320 header bytes; nothing beyond them is looked at.
std::expected<SuperHeader, HeaderError> parse_header(ByteView bytes);

}  // namespace redb::detail
