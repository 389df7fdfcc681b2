#include "database_core.h"
#include "redb/database.h"
#include "table_tree.h"

namespace redb {

using detail::Btree;
using detail::DatabaseCore;
using detail::OpenTable;
using detail::WriteState;

namespace {

Error ended() {
    return {ErrorKind::TransactionEnded, "the transaction has ended", 0};
}

Result<std::optional<RawEntry>> to_public(Result<std::optional<detail::Entry>> e) {
    if (!e) return std::unexpected(e.error());
    if (!*e) return std::nullopt;
    return RawEntry{std::move((*e)->key), std::move((*e)->value)};
}

// The open table of a running transaction.
Result<OpenTable*> running_table(WriteState& txn, std::string_view name) {
    if (txn.ended || txn.core->closed) return std::unexpected(ended());
    auto it = txn.data.tables.find(name);
    if (it == txn.data.tables.end()) return std::unexpected(ended());
    return &it->second;
}

}  // namespace

// Reading.

std::uint64_t RawReadOnlyTable::len() const {
    return table_->definition.length;
}

Result<std::optional<std::vector<std::uint8_t>>> RawReadOnlyTable::get(ByteView key) const {
    DatabaseCore& core = *table_->txn->core;
    if (core.closed) return std::unexpected(ended());
    return Btree(core.store, detail::table_kind(table_->definition))
        .get(table_->definition.root, key);
}

Result<std::optional<RawEntry>> RawReadOnlyTable::first() const {
    DatabaseCore& core = *table_->txn->core;
    if (core.closed) return std::unexpected(ended());
    return to_public(
        Btree(core.store, detail::table_kind(table_->definition)).first(table_->definition.root));
}

Result<std::optional<RawEntry>> RawReadOnlyTable::last() const {
    DatabaseCore& core = *table_->txn->core;
    if (core.closed) return std::unexpected(ended());
    return to_public(
        Btree(core.store, detail::table_kind(table_->definition)).last(table_->definition.root));
}

Status RawReadOnlyTable::for_each(const std::function<bool(ByteView, ByteView)>& visit) const {
    DatabaseCore& core = *table_->txn->core;
    if (core.closed) return std::unexpected(ended());
    return Btree(core.store, detail::table_kind(table_->definition))
        .for_each(table_->definition.root, visit);
}

// Writing.

WriteTransaction::WriteTransaction(std::shared_ptr<WriteState> state) : state_(std::move(state)) {}

WriteTransaction& WriteTransaction::operator=(WriteTransaction&& other) noexcept {
    if (this != &other) {
        abort();
        state_ = std::move(other.state_);
    }
    return *this;
}

WriteTransaction::~WriteTransaction() {
    abort();
}

void WriteTransaction::abort() {
    // Tables may still hold the state; they see the transaction as ended.
    if (state_) state_->abort();
}

Result<RawTable> WriteTransaction::open_raw(std::string_view name, const TypeSpec& key,
                                            const TypeSpec& value) {
    if (!state_ || state_->ended || state_->core->closed) return std::unexpected(ended());
    detail::TransactionData& t = state_->data;
    if (auto it = t.tables.find(name); it != t.tables.end()) {
        if (auto ok = it->second.definition.check_types(name, key, value); !ok)
            return std::unexpected(ok.error());
        return RawTable(state_, std::string(name));
    }
    auto found = detail::TableTree(state_->core->store, t.user_root).get(name);
    if (!found) return std::unexpected(found.error());
    OpenTable table;
    if (*found) {
        if (auto ok = (*found)->check_types(name, key, value); !ok)
            return std::unexpected(ok.error());
        table.definition = std::move(**found);
    } else {
        // Opening a missing table creates it, as redb does.
        table.definition = detail::InternalTableDefinition::normal(key, value);
        table.changed = true;
    }
    t.tables.emplace(std::string(name), std::move(table));
    return RawTable(state_, std::string(name));
}

Status WriteTransaction::commit() {
    if (!state_ || state_->ended || state_->core->closed) return std::unexpected(ended());
    WriteState& s = *state_;
    s.ended = true;
    if (s.core->writer == &s) s.core->writer = nullptr;
    return detail::commit_transaction(*s.core, s.data, false);
}

Result<std::uint64_t> RawTable::len() const {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    return (*table)->definition.length;
}

Result<std::optional<std::vector<std::uint8_t>>> RawTable::get(ByteView key) const {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    const auto& d = (*table)->definition;
    return Btree(txn_->core->store, detail::table_kind(d)).get(d.root, key);
}

Result<std::optional<RawEntry>> RawTable::first() const {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    const auto& d = (*table)->definition;
    return to_public(Btree(txn_->core->store, detail::table_kind(d)).first(d.root));
}

Result<std::optional<RawEntry>> RawTable::last() const {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    const auto& d = (*table)->definition;
    return to_public(Btree(txn_->core->store, detail::table_kind(d)).last(d.root));
}

Status RawTable::for_each(const std::function<bool(ByteView, ByteView)>& visit) const {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    const auto& d = (*table)->definition;
    return Btree(txn_->core->store, detail::table_kind(d)).for_each(d.root, visit);
}

Status RawTable::insert(ByteView key, ByteView value) {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    if (key.size() > 3ull << 30 || value.size() > 3ull << 30)
        return std::unexpected(Error{ErrorKind::ValueTooLarge, "value too large", 0});
    auto& d = (*table)->definition;
    auto r = Btree(txn_->core->store, detail::table_kind(d))
                 .insert(d.root, key, value, txn_->data.data_freed);
    if (!r) {
        // A half-made change cannot be committed.
        txn_->abort();
        return std::unexpected(r.error());
    }
    d.length = d.root ? d.root->length : 0;
    (*table)->changed = true;
    return {};
}

Result<bool> RawTable::remove(ByteView key) {
    auto table = running_table(*txn_, name_);
    if (!table) return std::unexpected(table.error());
    auto& d = (*table)->definition;
    auto r =
        Btree(txn_->core->store, detail::table_kind(d)).remove(d.root, key, txn_->data.data_freed);
    if (!r) {
        txn_->abort();
        return std::unexpected(r.error());
    }
    if (*r) {
        d.length = d.root ? d.root->length : 0;
        (*table)->changed = true;
    }
    return *r;
}

Result<std::optional<RawEntry>> RawTable::pop_first() {
    auto entry = first();
    if (!entry || !*entry) return entry;
    auto removed = remove((*entry)->key);
    if (!removed) return std::unexpected(removed.error());
    return entry;
}

}  // namespace redb
