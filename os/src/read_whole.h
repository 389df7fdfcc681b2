#pragma once

#include <cstdint>
#include <string>

#include "os/error.h"

namespace snv::os {

// The whole content of a file that says it holds `size` bytes, read into a buffer of that
// size by `read_some(into, room)` (a Result of the bytes read, 0 at the end). A file that grew
// meanwhile, or one whose size says nothing (under /proc), is read on within `max_bytes`; one
// that is or becomes longer is refused.
template <typename ReadSome>
Result<std::string> read_whole(std::uint64_t size, std::uint64_t max_bytes, ReadSome read_some) {
    if (size > max_bytes) return std::unexpected(file_too_large(max_bytes));
    std::string out(static_cast<std::size_t>(size), '\0');
    std::size_t have = 0;
    while (have < out.size()) {
        auto n = read_some(out.data() + have, out.size() - have);
        if (!n) return std::unexpected(n.error());
        if (*n == 0) {
            out.resize(have);
            return out;
        }
        have += *n;
    }
    // The size said is read: the end of the file normally follows.
    for (char more[4096];;) {
        auto n = read_some(more, sizeof more);
        if (!n) return std::unexpected(n.error());
        if (*n == 0) return out;
        if (out.size() + *n > max_bytes) return std::unexpected(file_too_large(max_bytes));
        out.append(more, *n);
    }
}

}  // namespace snv::os
