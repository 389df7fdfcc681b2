#include "json/utf8.h"

namespace snv::json {

bool is_valid_utf8(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        const std::size_t n = utf8_sequence_length(p, end);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

}  // namespace snv::json
