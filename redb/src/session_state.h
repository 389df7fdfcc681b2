#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "write_pages.h"
#include "table_definition_codec.h"

namespace redb::detail {

struct TransactionState {
    std::uint64_t id = 0;
    std::optional<TreeRoot> user_root;
    std::optional<TreeRoot> system_root;
    std::vector<PageNumber> data_freed;    // committed user pages this transaction gave up
    std::vector<PageNumber> system_freed;  // the same for system pages
    std::string table_name;
    std::optional<TableDefinition> table;
    bool table_changed = false;
};

struct SessionState {
    SessionState(std::unique_ptr<snv::os::DbFile> f, SuperHeader h)
        : file(std::move(f)), store(*file, std::move(h)) {}
    std::unique_ptr<snv::os::DbFile> file;  // locked for the whole session
    PageStore store;
    bool repaired = false;
    // Set when a commit failed half way: the allocator state is no longer trusted, so nothing
    // more is written and the next open repairs.
    bool poisoned = false;
    bool closed = false;
    std::optional<TransactionState> txn;
};

// Opening: initializes an empty file, repairs after a crash, marks the file as being written.
Result<std::unique_ptr<SessionState>> open_session(std::unique_ptr<snv::os::DbFile> file);

// The commit of the running transaction: freed-page bookkeeping, pages, then the header.
// `close` makes it the final two-phase commit that stores the allocator state.
Status commit_transaction(SessionState& s, bool close);

}  // namespace redb::detail
