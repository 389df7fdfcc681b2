#pragma once

#include <cstdint>

#include "bytes.h"

namespace redb {

// An XXH3-128 hash with seed 0, the checksum of commit slots and B-tree pages. Stored as a
// little-endian 128-bit number: the low 64 bits first.
struct Checksum {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Checksum&) const = default;
};

Checksum xxh3_checksum(Bytes data);

inline Checksum load_checksum(const std::uint8_t* p) { return {load_u64(p), load_u64(p + 8)}; }
inline void store_checksum(std::uint8_t* p, Checksum c) {
    store_u64(p, c.low);
    store_u64(p + 8, c.high);
}

}  // namespace redb
