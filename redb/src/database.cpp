#include "redb/database.h"

#include "database_core.h"
#include "table_tree.h"

namespace redb {

using detail::DatabaseCore;

Result<Database> Database::create(const std::filesystem::path& path) {
    auto backend = open_file_backend(path);
    if (!backend) return std::unexpected(backend.error());
    return create(std::move(*backend));
}

Result<Database> Database::create(std::unique_ptr<StorageBackend> backend) {
    auto core = detail::open_database(std::move(backend));
    if (!core) return std::unexpected(core.error());
    return Database(std::move(*core));
}

Database::~Database() = default;

Result<ReadTransaction> Database::begin_read() const {
    if (core_->closed)
        return std::unexpected(Error{ErrorKind::TransactionEnded, "the database is closed", 0});
    return ReadTransaction(std::make_shared<const detail::ReadState>(core_));
}

Result<WriteTransaction> Database::begin_write() {
    DatabaseCore& core = *core_;
    if (core.closed)
        return std::unexpected(Error{ErrorKind::TransactionEnded, "the database is closed", 0});
    if (core.poisoned)
        return std::unexpected(Error::io("an earlier commit failed; reopen the database"));
    if (core.writer != nullptr)
        return std::unexpected(
            Error{ErrorKind::TransactionInProgress, "a write transaction is already running", 0});
    // Writing next to a persistent savepoint would need the allocated-pages bookkeeping that
    // keeps its pages alive; this library does not keep it, so it refuses.
    if (core.has_savepoint)
        return std::unexpected(Error{ErrorKind::Unsupported,
                                     "the database has a persistent savepoint; writing to such a "
                                     "file is not supported",
                                     0});
    if (auto s = core.begin_writable(); !s) return std::unexpected(s.error());
    return WriteTransaction(std::make_shared<detail::WriteState>(core_));
}

Status Database::close() {
    return core_->close();
}

bool Database::repaired_at_open() const {
    return core_->repaired;
}

Result<RawReadOnlyTable> ReadTransaction::open_raw(std::string_view name, const TypeSpec& key,
                                                   const TypeSpec& value) const {
    DatabaseCore& core = *state_->core;
    if (core.closed)
        return std::unexpected(Error{ErrorKind::TransactionEnded, "the database is closed", 0});
    std::optional<detail::BtreeHeader> root = state_->user_root;
    auto found = detail::TableTree(core.store, root).get(name);
    if (!found) return std::unexpected(found.error());
    if (!*found)
        return std::unexpected(Error{ErrorKind::TableDoesNotExist,
                                     "Table '" + std::string(name) + "' does not exist", 0});
    if (auto ok = (*found)->check_types(name, key, value); !ok) return std::unexpected(ok.error());
    return RawReadOnlyTable(
        std::make_shared<const detail::TableSnapshot>(detail::TableSnapshot{state_, **found}));
}

Result<std::vector<ReadTransaction::TableName>> ReadTransaction::list_tables() const {
    DatabaseCore& core = *state_->core;
    if (core.closed)
        return std::unexpected(Error{ErrorKind::TransactionEnded, "the database is closed", 0});
    std::vector<TableName> names;
    std::optional<detail::BtreeHeader> root = state_->user_root;
    auto walked =
        detail::TableTree(core.store, root)
            .for_each([&](std::string_view name, const detail::InternalTableDefinition& d) {
                names.push_back({std::string(name), d.multimap()});
                return true;
            });
    if (!walked) return std::unexpected(walked.error());
    return names;
}

}  // namespace redb
