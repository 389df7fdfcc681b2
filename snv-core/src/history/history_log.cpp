#include "history/history_log.h"

#include <limits>
#include <utility>

#include "history/entry_json.h"
#include "history/legacy_import.h"

namespace snv::history {

redb::Status prune_history(HistoryTable& table) {
    auto count = table.len();
    if (!count) return std::unexpected(count.error());
    if (*count <= kHistoryLimit) return {};
    // The number of removals is fixed up front; removing from an empty table is harmless.
    for (std::uint64_t i = 0, n = *count - kHistoryLimit; i < n; ++i) {
        if (auto removed = table.pop_first(); !removed) return std::unexpected(removed.error());
    }
    return {};
}

os::Error library_error(const redb::Error& error) {
    if (error.kind == redb::ErrorKind::Io && error.os_code != 0) {
        return os::Error::os(error.os_code, error.text);
    }
    return os::Error::own(error.to_string());
}

calendar::DateTime entry_time(const os::LocalTime& now) {
    calendar::DateTime time;
    if (auto date = calendar::Date::from_civil(now.year, now.month, now.day)) time.date = *date;
    if (auto tod = calendar::TimeOfDay::from_hms(now.hour, now.minute, now.second)) {
        time.time = *tod;
    }
    return time;
}

void HistoryLog::record_history(EntryKind kind, std::optional<model::Action> action,
                                std::string detail) {
    const os::NativePath* folder = data_dir_.get();
    if (!folder) return;  // no data folder can be formed: the entry is dropped like any other
    const Entry entry{entry_time(clock_.local_now()), kind, action, std::move(detail)};
    (void)append_history_entry(os::join(*folder, "history.redb"), entry);
}

os::Status HistoryLog::append_history_entry(const os::NativePath& path, const Entry& entry) {
    return append_history_text(path, write_entry_json(entry));
}

redb::Result<redb::Database> HistoryLog::open_history_db(const os::NativePath& path) {
    const os::MonotonicTime start = clock_.monotonic_now();
    for (;;) {
        auto storage = open_storage_(std::filesystem::path(path));
        auto db = storage ? redb::Database::create(std::move(*storage))
                          : redb::Result<redb::Database>(std::unexpected(storage.error()));
        if (db || db.error().kind != redb::ErrorKind::AlreadyOpen) return db;
        if (clock_.monotonic_now() - start >= kOpenPatience) return db;
        clock_.sleep_for(kOpenRetryPause);
    }
}

namespace {

redb::Status store_entry(redb::Database& db, std::string_view text) {
    auto txn = db.begin_write();
    if (!txn) return std::unexpected(txn.error());
    auto table = txn->open_table(kHistoryTable);
    if (!table) return std::unexpected(table.error());
    auto last = table->last();
    if (!last) return std::unexpected(last.error());
    // With the largest key taken there is no next key; failing keeps every stored entry.
    if (*last && (*last)->first == std::numeric_limits<std::uint64_t>::max())
        return std::unexpected(
            redb::Error{redb::ErrorKind::Unsupported, "the history table has no key left", 0});
    const std::uint64_t key = *last ? (*last)->first + 1 : 0;
    if (auto inserted = table->insert(key, text); !inserted) return inserted;
    if (auto pruned = prune_history(*table); !pruned) return pruned;
    return txn->commit();
}

}  // namespace

os::Status HistoryLog::append_history_text(const os::NativePath& path, std::string_view text) {
    if (const os::NativePath folder = os::folder_of(path); !folder.empty()) {
        if (auto made = files_.create_folder_all(folder); !made) return made;
    }
    auto db = open_history_db(path);
    if (!db) return std::unexpected(library_error(db.error()));
    import_legacy_history(*db, path, files_);
    if (auto stored = store_entry(*db, text); !stored)
        return std::unexpected(library_error(stored.error()));
    // The close's own failure is dropped, as redb's is: the commit above is durable, and the
    // next open repairs.
    (void)db->close();
    return {};
}

}  // namespace snv::history
