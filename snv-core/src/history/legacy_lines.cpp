#include "history/legacy_lines.h"

#include "history/entry_reader.h"

namespace snv::history {

std::optional<std::string_view> next_legacy_entry_line(LegacyLineCursor& cursor) {
    while (cursor.pos < cursor.text.size()) {
        std::string_view rest = cursor.text.substr(cursor.pos);
        std::size_t lf = rest.find('\n');
        std::string_view line = rest;
        if (lf == std::string_view::npos) {
            // A last line without line feed is taken whole, a trailing carriage return included.
            cursor.pos = cursor.text.size();
        } else {
            line = rest.substr(0, lf);
            cursor.pos += lf + 1;
            if (line.ends_with('\r')) line.remove_suffix(1);
        }
        if (read_entry(line)) return line;
    }
    return std::nullopt;
}

}  // namespace snv::history
