#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "os/file_system.h"
#include "os/path.h"
#include "redb/database.h"

namespace snv::history {

// Keys of imported lines end just below this one when the table is empty, so that the
// system's own appends follow them.
inline constexpr std::uint64_t kEmptyTableImportBase = 9223372036854775807ull;

// The most of history.jsonl that is read: the table keeps 10000 entries of a few hundred
// bytes. A larger file is unreadable: it stays, and nothing of it is imported.
inline constexpr std::uint64_t kLegacyHistoryMaxBytes = 16u << 20;

// Moves the valid lines of a history.jsonl beside `db_path` into the table, older than every
// stored entry, then deletes the file. Every failure is dropped; the file then stays.
void import_legacy_history(redb::Database& db, const os::NativePath& db_path,
                           os::FileSystem& files);

// A position in the text of history.jsonl; the text must outlive the cursor.
struct LegacyLineCursor {
    std::string_view text;
    std::size_t pos = 0;
};

// The next line that reads as an entry, without its line end, as a view of the cursor's text;
// none when the text is used up. Lines that are no entry are passed over.
std::optional<std::string_view> next_legacy_entry_line(LegacyLineCursor& cursor);

}  // namespace snv::history
