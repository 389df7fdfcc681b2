#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace redb::detail {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline std::uint16_t get_u16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t get_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::uint64_t get_u64(const std::uint8_t* p) {
    return std::uint64_t(get_u32(p)) | std::uint64_t(get_u32(p + 4)) << 32;
}
inline void put_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void put_u32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline void put_u64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
inline void append_u32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    put_u32(b, v);
    out.insert(out.end(), b, b + 4);
}
inline void append_u64(Bytes& out, std::uint64_t v) {
    std::uint8_t b[8];
    put_u64(b, v);
    out.insert(out.end(), b, b + 8);
}

// The format's 128-bit checksum (XXH3-128, seed 0), kept as its 16 little-endian bytes.
struct Checksum {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Checksum&) const = default;
    void store(std::uint8_t* p) const {
        put_u64(p, low);
        put_u64(p + 8, high);
    }
    static Checksum load(const std::uint8_t* p) { return {get_u64(p), get_u64(p + 8)}; }
};

Checksum checksum_of(ByteView data);

}  // namespace redb::detail
