#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::history {

// The few database operations the history log needs, so that the log's own rules (retry,
// keys, pruning, import) can be tested against a fake and run against the redb library.

// The table "history" (u64 -> text) inside an open write transaction.
class HistoryTable {
  public:
    virtual ~HistoryTable() = default;
    virtual os::Result<std::optional<std::uint64_t>> first_key() = 0;
    virtual os::Result<std::optional<std::uint64_t>> last_key() = 0;
    virtual os::Result<std::uint64_t> count() = 0;
    // Stores `value` under `key`; callers never pass a key that is already in the table.
    virtual os::Status insert(std::uint64_t key, std::string_view value) = 0;
    // Removes the entry with the smallest key; an empty table is left as it is.
    virtual os::Status remove_first() = 0;
};

// A write transaction. Destroying it without a successful commit abandons every change.
class WriteTransaction {
  public:
    virtual ~WriteTransaction() = default;
    // Opens (creating when missing) the table "history"; it stays valid until commit.
    virtual os::Result<HistoryTable*> open_history_table() = 0;
    // Closes the table and commits.
    virtual os::Status commit() = 0;
};

class HistoryDatabase {
  public:
    virtual ~HistoryDatabase() = default;
    virtual os::Result<std::unique_ptr<WriteTransaction>> begin_write() = 0;
};

struct OpenError {
    enum class Kind {
        already_open,  // another process holds the file's lock: worth waiting for
        other,         // the file cannot be opened, is no database, cannot be repaired, ...
    };
    Kind kind = Kind::other;
    os::Error error;
};

class HistoryStore {
  public:
    virtual ~HistoryStore() = default;
    // Opens the file for reading and writing (created when missing, never truncated) and the
    // database in it. The database is closed when the returned object is destroyed.
    virtual std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open(
        const os::NativePath& path) = 0;
};

}  // namespace snv::history
