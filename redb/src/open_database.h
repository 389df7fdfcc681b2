#pragma once

#include <memory>

#include "database_state.h"
#include "redb/error.h"

namespace redb {

// The open sequence: lock, read and check the super-header, reconcile it with the file and
// pick the commit whose trees verify. Nothing is written before the file is known to be a
// redb v3 database.
Result<std::shared_ptr<detail::DatabaseState>> open_database(std::unique_ptr<snv::os::DbFile> file);

inline constexpr const char* kAllocatorStateTable = "allocator_state";

// Whether the primary commit is two-phase and saved allocator state for itself, so that a
// quick repair suffices (redb's own test at every open).
Result<bool> allocator_state_is_valid(const PageStore& store, const SuperHeader& header);

// Whether both trees of the header's primary slot verify against their checksums.
Result<bool> primary_verifies(const PageStore& store, const CommitSlot& slot);

}  // namespace redb
