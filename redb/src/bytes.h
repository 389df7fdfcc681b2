#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace redb::detail {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Little-endian loads and stores. Callers check the bounds first; these only assemble bytes.
inline std::uint16_t load_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t load_u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t load_u64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(load_u32(p)) |
           (static_cast<std::uint64_t>(load_u32(p + 4)) << 32);
}
inline void store_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void store_u32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void store_u64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void append_u32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    store_u32(b, v);
    out.insert(out.end(), b, b + 4);
}
inline void append_u64(Bytes& out, std::uint64_t v) {
    std::uint8_t b[8];
    store_u64(b, v);
    out.insert(out.end(), b, b + 8);
}

inline ByteView text_bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The format's 128-bit checksum (XXH3-128, seed 0), stored as 16 little-endian bytes.
struct Checksum {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const Checksum&) const = default;
    Checksum& operator^=(const Checksum& o) {
        low ^= o.low;
        high ^= o.high;
        return *this;
    }
    void store(std::uint8_t* p) const {
        store_u64(p, low);
        store_u64(p + 8, high);
    }
    static Checksum load(const std::uint8_t* p) { return {load_u64(p), load_u64(p + 8)}; }
};

Checksum checksum_of(ByteView data);

}  // namespace redb::detail
