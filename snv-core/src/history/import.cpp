#include "history/import.h"

#include <string>
#include <string_view>
#include <vector>

#include "history/legacy_lines.h"
#include "history/prune.h"
#include "history/utf8.h"

namespace snv::history {

namespace {

// Inserts, prunes and commits; any failure leaves the transaction to be abandoned.
bool store_lines(HistoryDatabase& db, const std::vector<std::string_view>& lines) {
    auto txn = db.begin_write();
    if (!txn) return false;
    auto table = (*txn)->open_history_table();
    if (!table) return false;
    auto first = (*table)->first_key();
    if (!first) return false;
    const std::uint64_t base = first->value_or(kEmptyTableImportBase);
    // No room below the oldest entry: import nothing rather than replace a stored entry; the
    // file stays, so none of its lines is lost.
    if (base < lines.size()) return false;
    std::uint64_t key = base - lines.size();
    for (std::string_view line : lines) {
        if (!(*table)->insert(key++, line)) return false;
    }
    if (!prune_history(**table)) return false;
    return bool((*txn)->commit());
}

}  // namespace

void import_legacy_history(HistoryDatabase& db, const os::NativePath& db_path,
                           os::FileSystem& files) {
    const os::NativePath legacy_path = os::join(os::folder_of(db_path), "history.jsonl");
    auto text = files.read_file(legacy_path);
    if (!text || !is_valid_utf8(*text)) return;

    std::vector<std::string_view> lines;
    lines.reserve(4);
    LegacyLineCursor cursor{*text};
    while (auto line = next_legacy_entry_line(cursor)) lines.push_back(*line);

    if (!store_lines(db, lines)) return;
    // The lines are committed; a file that cannot be deleted is imported again next time.
    (void)files.remove_file(legacy_path);
}

}  // namespace snv::history
