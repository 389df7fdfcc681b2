#pragma once

#include <string>
#include <string_view>

namespace snv::json {

// Appends `text` as a JSON string with its quotation marks. Only '"', '\\' and U+0000..U+001F
// are escaped (\b \t \n \f \r, the rest as \u00xx in lower case); "/", U+007F and every byte
// beyond ASCII go out unchanged.
void append_quoted(std::string& out, std::string_view text);

}  // namespace snv::json
