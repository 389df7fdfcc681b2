#pragma once

#include "os/db_file.h"
#include "redb/error.h"

namespace redb {

// Initializes an empty file, or repairs one, with the writer's session: it opens (repairing
// as redb does) and closes with the final commit that stores the allocator state. The file
// stays open and locked by the caller throughout.
Status write_clean_state(snv::os::DbFile& file);

}  // namespace redb
