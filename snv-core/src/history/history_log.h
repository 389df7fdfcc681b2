#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "history/entry.h"
#include "model/action.h"
#include "os/clock.h"
#include "os/error.h"
#include "os/file_system.h"
#include "os/path.h"
#include "paths/data_dir.h"
#include "redb/database.h"

namespace snv::history {

// The table of history.redb: u64 keys, entry texts as values.
inline constexpr redb::TableDefinition<redb::U64, redb::Str> kHistoryTable{"history"};
using HistoryTable = redb::Table<redb::U64, redb::Str>;

// The table never holds more entries than this after one of our commits.
inline constexpr std::uint64_t kHistoryLimit = 10000;

// While another process holds the file we try again after this pause, for as long as less than
// kOpenPatience has passed since the first attempt began.
inline constexpr std::chrono::milliseconds kOpenRetryPause{20};
inline constexpr std::chrono::milliseconds kOpenPatience{3000};

// Removes the entries with the smallest keys until at most kHistoryLimit remain. The first
// storage error is returned; the caller then abandons its transaction.
redb::Status prune_history(HistoryTable& table);

// A database error as the log's error value; only success or failure matters to its callers.
os::Error library_error(const redb::Error& error);

// The entry's time: the local wall-clock time, the fraction of the second dropped.
calendar::DateTime entry_time(const os::LocalTime& now);

// Opens the storage of history.redb, taking its lock. The executable passes
// redb::open_file_backend; tests pass storage of their own.
using OpenStorage = std::function<redb::Result<std::unique_ptr<redb::StorageBackend>>(
    const std::filesystem::path&)>;

// Where the engine records what it did: the table "history" of history.redb in the data folder,
// opened and closed by every append.
class HistoryLog {
  public:
    HistoryLog(os::Clock& clock, os::FileSystem& files, paths::DataDir& data_dir,
               OpenStorage open_storage)
        : clock_(clock),
          files_(files),
          data_dir_(data_dir),
          open_storage_(std::move(open_storage)) {}

    // Records an entry made now. A failure is dropped: the entry is lost and nothing is
    // retried.
    void record_history(EntryKind kind, std::optional<model::Action> action, std::string detail);

    // The steps behind it, with their outcome.
    os::Status append_history_entry(const os::NativePath& path, const Entry& entry);
    // Stores an entry text under the largest key plus one (0 in an empty table), after importing
    // a history.jsonl beside the database, and trims the table to its limit, in one commit.
    os::Status append_history_text(const os::NativePath& path, std::string_view text);
    // Opens the database, waiting while it is "already open"; every other error at once.
    redb::Result<redb::Database> open_history_db(const os::NativePath& path);

  private:
    os::Clock& clock_;
    os::FileSystem& files_;
    paths::DataDir& data_dir_;
    OpenStorage open_storage_;
};

}  // namespace snv::history
