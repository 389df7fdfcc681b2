#pragma once

#include <optional>
#include <string>

#include "history/append.h"
#include "history/entry.h"
#include "model/action.h"
#include "os/clock.h"
#include "os/file_system.h"
#include "paths/data_dir.h"

namespace snv::history {

// The entry's time: the local wall-clock time, the fraction of the second dropped.
calendar::DateTime entry_time(const os::LocalTime& now);

// Where the engine records what it did: history.redb in the data folder.
class HistoryLog {
  public:
    HistoryLog(HistoryStore& store, os::Clock& clock, os::FileSystem& files,
               paths::DataDir& data_dir)
        : store_(store), clock_(clock), files_(files), data_dir_(data_dir) {}

    // Records an entry made now. A failure is dropped: the entry is lost and nothing is
    // retried.
    void record_history(EntryKind kind, std::optional<model::Action> action, std::string detail);

  private:
    HistoryStore& store_;
    os::Clock& clock_;
    os::FileSystem& files_;
    paths::DataDir& data_dir_;
};

}  // namespace snv::history
