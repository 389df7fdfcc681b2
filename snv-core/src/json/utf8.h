#pragma once

#include <cstddef>
#include <string_view>

namespace snv::json {

// Length of the well-formed UTF-8 sequence of a non-ASCII lead byte at `p` (RFC 3629: no
// overlong forms, no surrogates, nothing beyond U+10FFFF), 0 when there is none.
// Inline: the lexer calls it for every non-ASCII character of a string.
inline std::size_t utf8_sequence_length(const char* p, const char* end) {
    const auto b0 = static_cast<unsigned char>(*p);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF)) return 0;
    }
    return n;
}

// Whether the whole text is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

}  // namespace snv::json
