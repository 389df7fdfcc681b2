#include "calendar/unicode_space.h"

#include <cstdint>

namespace snv::calendar {
namespace {

bool is_white_space(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

}  // namespace

std::size_t unicode_space_length(std::string_view text) {
    if (text.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return is_white_space(b0) ? 1 : 0;
    // Every white-space character beyond ASCII takes two or three bytes.
    std::size_t length = 0;
    std::uint32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms are not characters, so they are not white space either.
    if ((length == 2 && c < 0x80) || (length == 3 && c < 0x800)) return 0;
    return is_white_space(c) ? length : 0;
}

}  // namespace snv::calendar
