#pragma once

#include <memory>
#include <optional>

#include "btree.h"
#include "os/db_file.h"
#include "file_pages.h"
#include "redb/database.h"
#include "super_header.h"

namespace redb::detail {

// What an open database holds: the locked file, its header as reconciled at open, and the
// pages. The roots that readers see are those of the header's primary slot.
struct DatabaseState {
    std::unique_ptr<snv::os::DbFile> file;
    SuperHeader header;
    PageStore store;
    bool repaired = false;  // a full repair was needed (no valid allocator state)

    DatabaseState(std::unique_ptr<snv::os::DbFile> f, SuperHeader h, std::uint64_t file_len)
        : file(std::move(f)), header(std::move(h)), store(*file, header.layout, file_len) {}
};

struct TableHandle {
    std::shared_ptr<const DatabaseState> state;  // keeps the file open while the table lives
    BtreeReader tree;
    std::uint64_t length = 0;
};

}  // namespace redb::detail
