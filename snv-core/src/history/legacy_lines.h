#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace snv::history {

// A position in the text of history.jsonl; the text must outlive the cursor.
struct LegacyLineCursor {
    std::string_view text;
    std::size_t pos = 0;
};

// The next line that reads as an entry, without its line end, as a view of the cursor's text;
// none when the text is used up. Lines that are no entry are passed over.
std::optional<std::string_view> next_legacy_entry_line(LegacyLineCursor& cursor);

}  // namespace snv::history
