#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace snv::json {

// Exact, byte for byte, for the short texts a reader matches: keys and enumeration names.
// Whole words compared, the last one overlapping the one before, cost less than a call to
// memcmp.
inline bool same_key(std::string_view a, std::string_view b) {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    auto word4 = [](const char* p) {
        std::uint32_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    };
    auto word8 = [](const char* p) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    };
    if (n < 4) return n == 0 || (x[0] == y[0] && x[n / 2] == y[n / 2] && x[n - 1] == y[n - 1]);
    if (n < 8) return word4(x) == word4(y) && word4(x + n - 4) == word4(y + n - 4);
    for (std::size_t i = 0; i + 8 < n; i += 8) {
        if (word8(x + i) != word8(y + i)) return false;
    }
    return word8(x + n - 8) == word8(y + n - 8);
}

}  // namespace snv::json
