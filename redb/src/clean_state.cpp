#include "clean_state.h"

#include "db_file_storage.h"
#include "redb/write_session.h"

namespace redb {

snv::os::Status write_clean_state(snv::os::DbFile& file) {
    DbFileStorage storage(file);
    auto session = WriteSession::open(storage);
    if (!session) return std::unexpected(session.error());
    return (*session)->close();
}

}  // namespace redb
