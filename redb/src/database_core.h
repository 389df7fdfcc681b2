#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "page_store.h"
#include "redb/database.h"
#include "redb/storage_backend.h"
#include "table_definition.h"

namespace redb::detail {

struct WriteState;

// An open database: the backend, its pages and what the open learned. Shared by the Database
// and every transaction, so that none of them outlives what it uses; the last one to let go
// closes it.
class DatabaseCore {
  public:
    DatabaseCore(std::unique_ptr<StorageBackend> backend, SuperHeader header)
        : backend_(std::move(backend)), store(*backend_, std::move(header)) {}
    ~DatabaseCore();
    DatabaseCore(const DatabaseCore&) = delete;
    DatabaseCore& operator=(const DatabaseCore&) = delete;

  private:
    std::unique_ptr<StorageBackend> backend_;

  public:
    PageStore store;
    bool repaired = false;  // the open found no valid allocator state and rebuilt it
    // The allocator state is in memory: rebuilt by a repair, or loaded before the first write.
    bool allocators_loaded = false;
    // The recovery flag is on disk: something was or will be written, and the close must end
    // with the final commit that clears it.
    bool writable = false;
    // The file has a persistent savepoint, which pins pages this library does not track: it is
    // only read.
    bool has_savepoint = false;
    // A commit failed half way: the allocator state is no longer trusted, nothing more is
    // written and the next open repairs.
    bool poisoned = false;
    bool closed = false;
    WriteState* writer = nullptr;          // the running write transaction, if any
    std::multiset<std::uint64_t> readers;  // transaction ids that read transactions see

    // Sets the recovery flag before the first write, as redb does when it opens a database.
    Status begin_writable();
    // The clean close (final commit when the file was written), then the backend's close.
    Status close();
};

// One read transaction: the roots of the commit it sees.
struct ReadState {
    std::shared_ptr<DatabaseCore> core;
    std::uint64_t transaction_id = 0;
    std::optional<BtreeHeader> user_root;

    ReadState(std::shared_ptr<DatabaseCore> c);
    ~ReadState();
    ReadState(const ReadState&) = delete;
    ReadState& operator=(const ReadState&) = delete;
};

struct TableSnapshot {
    std::shared_ptr<const ReadState> txn;
    InternalTableDefinition definition;
};

// A table opened in a write transaction, with its definition as changed so far.
struct OpenTable {
    InternalTableDefinition definition;
    bool changed = false;
};

// What a write transaction has changed: its roots, the pages it gave up, its open tables.
struct TransactionData {
    std::uint64_t id = 0;
    std::optional<BtreeHeader> user_root;
    std::optional<BtreeHeader> system_root;
    std::vector<PageNumber> data_freed;    // committed user pages this transaction gave up
    std::vector<PageNumber> system_freed;  // the same for system pages
    std::map<std::string, OpenTable, std::less<>> tables;

    // The next transaction after the last commit of `store`.
    static TransactionData next(const PageStore& store);
};

// One write transaction.
struct WriteState {
    std::shared_ptr<DatabaseCore> core;
    TransactionData data;
    bool ended = false;

    explicit WriteState(std::shared_ptr<DatabaseCore> c);
    ~WriteState();
    WriteState(const WriteState&) = delete;
    WriteState& operator=(const WriteState&) = delete;

    // Drops every change; the transaction is over.
    void abort();
};

// The open sequence: header checks in redb's order, new-database initialization, quick or full
// repair. Nothing is written before the file is known to be a redb v3 database (or an
// interrupted creation of one).
Result<std::shared_ptr<DatabaseCore>> open_database(std::unique_ptr<StorageBackend> backend);

// Loads the allocator state that the primary commit stored (the quick path's state).
Status load_allocator_state(PageStore& store);

// The commit of a write transaction: freed-page bookkeeping, its pages, then the header (redb's
// durable one-phase commit). With `close`, the final two-phase commit that stores the allocator
// state and gives the free pages at the end of the file back.
// On failure the database is poisoned.
Status commit_transaction(DatabaseCore& core, TransactionData& txn, bool close);

}  // namespace redb::detail
