#include "history/history_log.h"

#include <utility>

#include "history/append_entry.h"

namespace snv::history {

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
    Entry entry{entry_time(clock_.local_now()), kind, action, std::move(detail)};
    (void)append_history_entry({store_, clock_, files_}, os::join(*folder, "history.redb"), entry);
}

}  // namespace snv::history
