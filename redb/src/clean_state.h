#pragma once

#include "os/db_file.h"
#include "os/error.h"

namespace redb {

// Initializes an empty file, or repairs one, with the writer's session: it opens (repairing
// as redb does) and closes with the final commit that stores the allocator state. Kept in its
// own file because the writer's header and redb/error.h both name a `redb::Result`.
snv::os::Status write_clean_state(snv::os::DbFile& file);

}  // namespace redb
