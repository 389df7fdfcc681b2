#include "history/append.h"

#include <limits>

#include "history/import.h"
#include "history/open_db.h"
#include "history/prune.h"

namespace snv::history {

namespace {

os::Status store_entry(HistoryDatabase& db, std::string_view text) {
    auto txn = db.begin_write();
    if (!txn) return std::unexpected(txn.error());
    auto table = (*txn)->open_history_table();
    if (!table) return std::unexpected(table.error());
    auto last = (*table)->last_key();
    if (!last) return std::unexpected(last.error());
    // With the largest key taken there is no next key; failing keeps every stored entry.
    if (*last == std::numeric_limits<std::uint64_t>::max()) {
        return std::unexpected(os::Error::own("the history table has no key left"));
    }
    const std::uint64_t key = last->has_value() ? **last + 1 : 0;
    if (auto inserted = (*table)->insert(key, text); !inserted) return inserted;
    if (auto pruned = prune_history(**table); !pruned) return pruned;
    return (*txn)->commit();
}

}  // namespace

os::Status append_history_text(HistoryEnv env, const os::NativePath& path, std::string_view text) {
    if (const os::NativePath folder = os::folder_of(path); !folder.empty()) {
        if (auto made = env.files.create_folder_all(folder); !made) return made;
    }
    auto db = open_history_db(env.store, env.clock, path);
    if (!db) return std::unexpected(db.error().error);
    import_legacy_history(**db, path, env.files);
    return store_entry(**db, text);
}

}  // namespace snv::history
