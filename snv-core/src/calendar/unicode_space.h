#pragma once

#include <cstddef>
#include <string_view>

namespace snv::calendar {

// The byte length of the Unicode white-space character (White_Space property) at the start
// of `text`, or 0 when it starts with anything else (invalid UTF-8 included).
std::size_t unicode_space_length(std::string_view text);

}  // namespace snv::calendar
