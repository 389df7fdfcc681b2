#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace redb {

// How a key or value type is recorded with a table: classification byte, name, fixed width.
struct TypeSpec {
    std::uint8_t classification = 1;  // 1: a type built into redb
    std::string_view name;
    std::optional<std::uint32_t> fixed_width;  // none: variable width
};

// The built-in types this library reads and writes, each with its encoding.
// u64: little-endian, 8 bytes.
struct U64 {
    using value_type = std::uint64_t;
    static TypeSpec type() { return {1, "u64", 8}; }
    static std::vector<std::uint8_t> encode(std::uint64_t v) {
        std::vector<std::uint8_t> out(8);
        for (std::uint32_t i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
        return out;
    }
    static std::uint64_t decode(std::span<const std::uint8_t> b) {
        std::uint64_t v = 0;
        for (std::size_t i = b.size() < 8 ? b.size() : 8; i-- > 0;) v = (v << 8) | b[i];
        return v;
    }
};

// &str: UTF-8 text, variable width.
struct Str {
    using value_type = std::string;
    static TypeSpec type() { return {1, "&str", std::nullopt}; }
    static std::vector<std::uint8_t> encode(std::string_view v) { return {v.begin(), v.end()}; }
    static std::string decode(std::span<const std::uint8_t> b) { return {b.begin(), b.end()}; }
};

// &[u8]: bytes, variable width.
struct ByteSlice {
    using value_type = std::vector<std::uint8_t>;
    static TypeSpec type() { return {1, "&[u8]", std::nullopt}; }
    static std::vector<std::uint8_t> encode(std::span<const std::uint8_t> v) {
        return {v.begin(), v.end()};
    }
    static std::vector<std::uint8_t> decode(std::span<const std::uint8_t> b) {
        return {b.begin(), b.end()};
    }
};

// A table as a program declares it: its name and its key and value types.
template <typename K, typename V>
struct TableDefinition {
    std::string_view name;
};

}  // namespace redb
