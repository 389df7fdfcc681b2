#pragma once

#include <optional>
#include <string>

#include "history/append.h"
#include "history/entry.h"
#include "model/action.h"
#include "os/clock.h"
#include "os/path.h"

namespace snv::history {

// The entry's time: the local wall-clock time, the fraction of the second dropped.
calendar::DateTime entry_time(const os::LocalTime& now);

// Records an entry made now in history.redb of `data_folder`. A failure is dropped: the
// entry is lost and nothing is retried.
void record_history_in(HistoryEnv env, const os::NativePath& data_folder, EntryKind kind,
                       std::optional<model::Action> action, std::string detail);

// The same in the process's data folder, with the real clock, files and database.
void record_history(EntryKind kind, std::optional<model::Action> action, std::string detail);

}  // namespace snv::history
