#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "os/db_file.h"
#include "os/path.h"
#include "redb/error.h"

namespace redb {

namespace detail {
struct SessionState;
}


class WriteTransaction;

// An open database file for writing. Opening initializes an empty file as a new database and
// repairs a file that was not closed cleanly; `close` leaves it so that the next open needs no
// repair. The session holds the file's lock until it is destroyed.
class WriteSession {
public:
    // Opens (creating when missing, never truncating) and locks the file. Errors: Io,
    // AlreadyOpen (another process holds the lock), NotRedb, UpgradeRequired, Corrupted.
    static Result<std::unique_ptr<WriteSession>> open(const snv::os::NativePath& path);
    static Result<std::unique_ptr<WriteSession>> open(std::unique_ptr<snv::os::DbFile> file);
    ~WriteSession();
    WriteSession(const WriteSession&) = delete;
    WriteSession& operator=(const WriteSession&) = delete;

    // Whether opening had to repair the file.
    bool repaired() const;
    // One transaction at a time; it must end (commit or abandon) before the next begins.
    Result<WriteTransaction> begin_write();
    // The final commit that stores the allocator state. Without it the next open repairs.
    Status close();

private:
    explicit WriteSession(std::unique_ptr<detail::SessionState> state);
    std::unique_ptr<detail::SessionState> state_;
};

using HistoryEntry = std::pair<std::uint64_t, std::string>;

// A write transaction over one table of u64 keys and string values (created when missing).
// Dropping it without `commit` abandons it: nothing reaches the file.
class WriteTransaction {
public:
    WriteTransaction(WriteTransaction&&) noexcept;
    WriteTransaction& operator=(WriteTransaction&&) noexcept;
    ~WriteTransaction();

    // Opens (creating when missing) the table; other key or value types are an error.
    Status open_table(std::string_view name);
    Result<std::optional<HistoryEntry>> first();
    Result<std::optional<HistoryEntry>> last();
    Result<std::uint64_t> len();
    Result<std::optional<std::string>> get(std::uint64_t key);
    Status insert(std::uint64_t key, std::string_view value);
    Result<bool> remove(std::uint64_t key);
    Result<bool> remove_first();
    Status commit();
    void abandon();

private:
    friend class WriteSession;
    explicit WriteTransaction(detail::SessionState* session);
    detail::SessionState* session_ = nullptr;
};

}  // namespace redb
