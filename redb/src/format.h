#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Fixed numbers of redb's file format v3.
namespace redb::detail::format {

inline constexpr std::array<std::uint8_t, 9> kMagic = {'r',  'e',  'd',  'b', 0x1A,
                                                       0x0A, 0xA9, 0x0D, 0x0A};

inline constexpr std::uint8_t kVersion1 = 1;
inline constexpr std::uint8_t kVersion2 = 2;
inline constexpr std::uint8_t kVersion3 = 3;

// The page size of redb's default settings; the only one this library creates or accepts.
inline constexpr std::uint32_t kPageSize = 4096;

// Super-header: a 64-byte header and two 128-byte commit slots, padded to one page.
inline constexpr std::size_t kGodByteOffset = 9;
inline constexpr std::size_t kPageSizeOffset = 12;
inline constexpr std::size_t kRegionHeaderPagesOffset = 16;
inline constexpr std::size_t kRegionMaxDataPagesOffset = 20;
inline constexpr std::size_t kFullRegionsOffset = 24;
inline constexpr std::size_t kTrailingRegionPagesOffset = 28;
inline constexpr std::size_t kSlotSize = 128;
inline constexpr std::size_t kSlot0Offset = 64;
inline constexpr std::size_t kSlot1Offset = kSlot0Offset + kSlotSize;
inline constexpr std::size_t kSuperHeaderSize = kSlot1Offset + kSlotSize;  // 320

// God byte flags.
inline constexpr std::uint8_t kPrimaryBit = 1;
inline constexpr std::uint8_t kRecoveryRequired = 2;
inline constexpr std::uint8_t kTwoPhaseCommit = 4;

// Commit slot fields, relative to the slot.
inline constexpr std::size_t kSlotVersionOffset = 0;
inline constexpr std::size_t kSlotUserRootPresentOffset = 1;
inline constexpr std::size_t kSlotSystemRootPresentOffset = 2;
inline constexpr std::size_t kSlotUserRootOffset = 8;
inline constexpr std::size_t kSlotSystemRootOffset = 40;
inline constexpr std::size_t kSlotTransactionIdOffset = 104;
inline constexpr std::size_t kSlotChecksumOffset = 112;

// A B-tree header: root page number, root checksum, number of entries.
inline constexpr std::size_t kBtreeHeaderSize = 32;

// Page numbers: 20-bit index, 20-bit region, 5-bit order in the top bits.
inline constexpr std::uint32_t kMaxPageIndex = 0x000F'FFFF;
inline constexpr std::uint32_t kMaxRegions = 0x0010'0000;
inline constexpr std::uint8_t kMaxPageOrder = 20;

// B-tree pages.
inline constexpr std::uint8_t kLeafPage = 1;
inline constexpr std::uint8_t kBranchPage = 2;
// No real tree is this deep: a deeper one is a corrupt file, or a cycle. Every descent, walk and
// edit stops here.
inline constexpr std::size_t kMaxBtreeDepth = 128;

// Table definitions: type of table.
inline constexpr std::uint8_t kTableNormal = 3;
inline constexpr std::uint8_t kTableMultimap = 4;
// A multimap value that is the root of a subtree of values (the other kind is an inline leaf).
inline constexpr std::uint8_t kMultimapSubtree = 3;
// The only alignment redb accepts for keys and values.
inline constexpr std::uint32_t kAlignment = 1;

// Type name classifications.
inline constexpr std::uint8_t kTypeInternal = 1;
inline constexpr std::uint8_t kTypeUserDefined = 2;
inline constexpr std::uint8_t kTypeInternal2 = 3;
inline constexpr std::uint8_t kTypeInternal3 = 4;

// A new database: about 1 MiB of pages plus room for the region tracker, in one region of at
// most 2^20 pages.
inline constexpr std::uint64_t kInitialUsableBytes = 1u << 20;
inline constexpr std::uint32_t kInitialRegions = 1000;

}  // namespace redb::detail::format
