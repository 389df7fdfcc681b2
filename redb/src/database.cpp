#include "redb/database.h"

#include "open_database.h"
#include "table_tree.h"

namespace redb {

Result<Database> Database::create(const snv::os::NativePath& path) {
    auto file = snv::os::open_db_file(path);
    if (!file) return std::unexpected(io_error(file.error()));
    return create(std::move(*file));
}

Result<Database> Database::create(std::unique_ptr<snv::os::DbFile> file) {
    auto state = open_database(std::move(file));
    if (!state) return std::unexpected(state.error());
    return Database(std::move(*state));
}

Result<ReadTransaction> Database::begin_read() const { return ReadTransaction(state_); }

bool Database::repaired_at_open() const { return state_->repaired; }

Result<RawTable> ReadTransaction::open_raw(std::string_view name, const TypeSpec& key, const TypeSpec& value) const {
    const std::string table_name(name);
    TableTreeReader tables(state_->store, state_->header.primary_slot().user_root);
    auto found = tables.find(table_name);
    if (!found) return std::unexpected(found.error());
    if (!*found) return std::unexpected(Error{ErrorKind::TableDoesNotExist, "Table '" + table_name + "' does not exist", 0});
    const TypeDescriptor k{{key.classification, std::string(key.name)}, key.fixed_width};
    const TypeDescriptor v{{value.classification, std::string(value.name)}, value.fixed_width};
    if (auto ok = check_table_types(**found, table_name, false, k, v); !ok) return std::unexpected(ok.error());
    auto handle = std::make_shared<detail::TableHandle>(
        detail::TableHandle{state_, table_reader(state_->store, **found), (*found)->length});
    return RawTable(std::move(handle));
}

Result<std::vector<ReadTransaction::TableName>> ReadTransaction::list_tables() const {
    std::vector<TableName> names;
    TableTreeReader tables(state_->store, state_->header.primary_slot().user_root);
    auto walked = tables.for_each([&](const std::string& name, const TableDefinition& d) {
        names.push_back({name, d.multimap()});
        return true;
    });
    if (!walked) return std::unexpected(walked.error());
    return names;
}

std::uint64_t RawTable::len() const { return handle_->length; }

Result<std::optional<std::vector<std::uint8_t>>> RawTable::get(Bytes key) const { return handle_->tree.get(key); }

namespace {
Result<std::optional<RawTable::Entry>> to_public(Result<std::optional<Entry>> e) {
    if (!e) return std::unexpected(e.error());
    if (!*e) return std::optional<RawTable::Entry>{};
    return std::optional(RawTable::Entry{std::move((*e)->key), std::move((*e)->value)});
}
}  // namespace

Result<std::optional<RawTable::Entry>> RawTable::first() const { return to_public(handle_->tree.first()); }
Result<std::optional<RawTable::Entry>> RawTable::last() const { return to_public(handle_->tree.last()); }

Status RawTable::for_each(const std::function<bool(Bytes, Bytes)>& visit) const { return handle_->tree.for_each(visit); }

}  // namespace redb
