#include "history/legacy_import.h"

#include <algorithm>
#include <string>
#include <vector>

#include "history/entry_json.h"
#include "history/history_log.h"
#include "json/utf8.h"

namespace snv::history {

namespace {

// Whether `lines` are already the oldest entries of the table, in order and under consecutive
// keys: an import committed before, whose file outlived it (the process ended before the delete,
// or the delete failed). Lines the prune has taken since are no matter: only a full table
// loses them, and a full table takes none of them in again anyway.
redb::Result<bool> imported_before(const HistoryTable& table,
                                   const std::vector<std::string_view>& lines) {
    // The walk stops at the first entry that differs, or once every line has matched.
    std::size_t matched = 0;
    std::uint64_t first_key = 0;
    auto walked = table.for_each([&](const std::uint64_t& key, const std::string& value) {
        if (matched == 0) first_key = key;
        if (key - first_key != matched || value != lines[matched]) return false;
        return ++matched < lines.size();
    });
    if (!walked) return std::unexpected(walked.error());
    return matched == lines.size();
}

// Inserts, prunes and commits in one transaction; any failure abandons it. True when the lines
// are in the table afterwards, and so the file may go.
bool store_lines(redb::Database& db, const std::vector<std::string_view>& lines) {
    auto txn = db.begin_write();
    if (!txn) return false;
    auto table = txn->open_table(kHistoryTable);
    if (!table) return false;
    if (!lines.empty()) {
        auto before = imported_before(*table, lines);
        if (!before) return false;
        if (*before) return true;  // nothing to store: the transaction is dropped unchanged
    }
    auto first = table->first();
    if (!first) return false;
    const std::uint64_t base = *first ? (*first)->first : kEmptyTableImportBase;
    // No room below the oldest entry: import nothing rather than replace a stored entry; the
    // file stays, so none of its lines is lost.
    if (base < lines.size()) return false;
    auto stored = table->len();
    if (!stored) return false;
    // The prune takes the smallest keys first, the lines from the top of the file: those it
    // would take are not inserted at all, so that a long file costs no more than the lines
    // that stay. The table ends the same.
    const std::uint64_t over =
        *stored + lines.size() > kHistoryLimit ? *stored + lines.size() - kHistoryLimit : 0;
    const std::size_t skipped =
        static_cast<std::size_t>(std::min<std::uint64_t>(over, lines.size()));
    std::uint64_t key = base - lines.size() + skipped;
    for (std::size_t i = skipped; i < lines.size(); ++i) {
        if (!table->insert(key++, lines[i])) return false;
    }
    if (!prune_history(*table)) return false;
    return bool(txn->commit());
}

}  // namespace

std::optional<std::string_view> next_legacy_entry_line(LegacyLineCursor& cursor) {
    while (cursor.pos < cursor.text.size()) {
        std::string_view rest = cursor.text.substr(cursor.pos);
        const std::size_t lf = rest.find('\n');
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

void import_legacy_history(redb::Database& db, const os::NativePath& db_path,
                           os::FileSystem& files) {
    const os::NativePath legacy_path = os::join(os::folder_of(db_path), "history.jsonl");
    // Read only as a file of its own: what a link planted there names must not be copied into
    // history.redb, which the user can read.
    auto text = files.read_own_file(legacy_path, kLegacyHistoryMaxBytes);
    if (!text || !json::is_valid_utf8(*text)) return;

    std::vector<std::string_view> lines;
    lines.reserve(4);
    LegacyLineCursor cursor{*text};
    while (auto line = next_legacy_entry_line(cursor)) lines.push_back(*line);

    if (!store_lines(db, lines)) return;
    // The lines are committed; a file that cannot be deleted is found imported next time.
    (void)files.remove_file(legacy_path);
}

}  // namespace snv::history
