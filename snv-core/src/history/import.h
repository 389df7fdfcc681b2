#pragma once

#include "history/store.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::history {

// Keys of imported lines end just below this one when the table is empty, so that the
// system's own appends follow them.
inline constexpr std::uint64_t kEmptyTableImportBase = 9223372036854775807ull;

// Moves the valid lines of a history.jsonl beside `db_path` into the table, older than every
// stored entry, then deletes the file. Every failure is dropped; the file then stays.
void import_legacy_history(HistoryDatabase& db, const os::NativePath& db_path,
                           os::FileSystem& files);

}  // namespace snv::history
