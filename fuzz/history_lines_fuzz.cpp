// Feeds arbitrary bytes to the history.jsonl line filter as the import does. Every line it
// hands out must read as an entry, and that entry's written text must read back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/entry_json.h"
#include "history/legacy_import.h"
#include "json/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!snv::json::is_valid_utf8(text)) return 0;
    snv::history::LegacyLineCursor cursor{text};
    while (auto line = snv::history::next_legacy_entry_line(cursor)) {
        if (line->find('\n') != std::string_view::npos) std::abort();
        auto entry = snv::history::read_entry(*line);
        if (!entry) std::abort();
        auto again = snv::history::read_entry(snv::history::write_entry_json(*entry));
        if (!again || !(*again == *entry)) std::abort();
    }
    return 0;
}
