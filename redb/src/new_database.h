#pragma once

#include "os/db_file.h"
#include "redb/error.h"

namespace redb::detail {

// Makes an empty file a new database as redb does with its default settings: the file grows to
// its first layout and gets a two-phase header without trees. The first open then repairs it
// (rebuilding the allocator state, as redb's own first open does).
Status initialize_new_database(snv::os::DbFile& file);

}  // namespace redb::detail
