#include "history/record.h"

#include <utility>

#include "history/append_entry.h"
#include "history/redb_store.h"
#include "paths/data_dir.h"

namespace snv::history {

calendar::DateTime entry_time(const os::LocalTime& now) {
    calendar::DateTime time;
    if (auto date = calendar::Date::from_civil(now.year, now.month, now.day)) time.date = *date;
    if (auto tod = calendar::TimeOfDay::from_hms(now.hour, now.minute, now.second)) {
        time.time = *tod;
    }
    return time;
}

void record_history_in(HistoryEnv env, const os::NativePath& data_folder, EntryKind kind,
                       std::optional<model::Action> action, std::string detail) {
    Entry entry{entry_time(env.clock.local_now()), kind, action, std::move(detail)};
    (void)append_history_entry(env, os::join(data_folder, "history.redb"), entry);
}

void record_history(EntryKind kind, std::optional<model::Action> action, std::string detail) {
    const os::NativePath* folder = paths::data_dir();
    if (!folder) return;  // no data folder can be formed: the entry is dropped like any other
    HistoryEnv env{real_history_store(), os::real_clock(), os::real_files()};
    record_history_in(env, *folder, kind, action, std::move(detail));
}

}  // namespace snv::history
