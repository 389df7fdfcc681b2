#include "redb/write_session.h"
#include "session_state.h"
#include "system_tables.h"
#include "tree_editor.h"

namespace redb {

using detail::SessionState;

namespace {

const detail::TreeKind kU64Str{{8, std::nullopt}, detail::KeyOrder::unsigned64};

detail::Bytes key_bytes(std::uint64_t key) {
    detail::Bytes b(8);
    detail::put_u64(b.data(), key);
    return b;
}

Result<detail::TransactionState*> running(SessionState* s) {
    if (!s || !s->txn) return std::unexpected(Error{ErrorKind::Unsupported, "the transaction has ended", 0});
    return &*s->txn;
}

Result<detail::TransactionState*> with_table(SessionState* s) {
    auto t = running(s);
    if (!t) return t;
    if (!(*t)->table) return std::unexpected(Error{ErrorKind::Unsupported, "no table is open in the transaction", 0});
    return t;
}

Result<std::optional<HistoryEntry>> to_entry(Result<std::optional<detail::Entry>> e) {
    if (!e) return std::unexpected(e.error());
    if (!*e) return std::optional<HistoryEntry>();
    if ((*e)->key.size() != 8) return std::unexpected(detail::corrupted("a key is not 8 bytes"));
    return std::optional<HistoryEntry>(HistoryEntry{
        detail::get_u64((*e)->key.data()), std::string((*e)->value.begin(), (*e)->value.end())});
}

}  // namespace

WriteTransaction::WriteTransaction(SessionState* session) : session_(session) {}
WriteTransaction::WriteTransaction(WriteTransaction&& o) noexcept : session_(o.session_) {
    o.session_ = nullptr;
}
WriteTransaction& WriteTransaction::operator=(WriteTransaction&& o) noexcept {
    if (this != &o) {
        abandon();
        session_ = o.session_;
        o.session_ = nullptr;
    }
    return *this;
}
WriteTransaction::~WriteTransaction() { abandon(); }

void WriteTransaction::abandon() {
    if (session_ && session_->txn) {
        session_->store.discard_dirty_pages();
        session_->txn.reset();
    }
    session_ = nullptr;
}

Status WriteTransaction::open_table(std::string_view name) {
    auto t = running(session_);
    if (!t) return std::unexpected(t.error());
    auto def = detail::read_table(session_->store, (*t)->user_root, name);
    if (!def) return std::unexpected(def.error());
    detail::TableDefinition wanted = detail::history_table_definition();
    if (*def) {
        const auto& d = **def;
        if (d.table_type != detail::kNormalTable || d.key_type != wanted.key_type ||
            d.value_type != wanted.value_type || d.fixed_key != wanted.fixed_key ||
            d.fixed_value != wanted.fixed_value)
            return std::unexpected(Error{ErrorKind::TableTypeMismatch, "table " + std::string(name) +
                                              " is stored with other key or value types than u64 and &str", 0});
        (*t)->table = d;
        (*t)->table_changed = false;
    } else {
        (*t)->table = wanted;
        (*t)->table_changed = true;  // the library creates the table when it is opened
    }
    (*t)->table_name = std::string(name);
    return {};
}

Result<std::optional<HistoryEntry>> WriteTransaction::first() {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    detail::TreeEditor e(session_->store, kU64Str, (*t)->data_freed);
    return to_entry(e.first((*t)->table->root));
}

Result<std::optional<HistoryEntry>> WriteTransaction::last() {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    detail::TreeEditor e(session_->store, kU64Str, (*t)->data_freed);
    return to_entry(e.last((*t)->table->root));
}

Result<std::uint64_t> WriteTransaction::len() {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    return (*t)->table->length;
}

Result<std::optional<std::string>> WriteTransaction::get(std::uint64_t key) {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    detail::TreeEditor e(session_->store, kU64Str, (*t)->data_freed);
    auto r = to_entry(e.get((*t)->table->root, key_bytes(key)));
    if (!r) return std::unexpected(r.error());
    if (!*r) return std::optional<std::string>();
    return std::optional<std::string>((*r)->second);
}

Status WriteTransaction::insert(std::uint64_t key, std::string_view value) {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    if (value.size() > 3u * 1024 * 1024 * 1024) return std::unexpected(Error{ErrorKind::ValueTooLarge, "value too large", 0});
    detail::TreeEditor e(session_->store, kU64Str, (*t)->data_freed);
    auto r = e.insert((*t)->table->root, key_bytes(key), detail::as_bytes(value));
    if (!r) {
        abandon();
        return std::unexpected(r.error());
    }
    (*t)->table->length = (*t)->table->root ? (*t)->table->root->length : 0;
    (*t)->table_changed = true;
    return {};
}

Result<bool> WriteTransaction::remove(std::uint64_t key) {
    auto t = with_table(session_);
    if (!t) return std::unexpected(t.error());
    detail::TreeEditor e(session_->store, kU64Str, (*t)->data_freed);
    auto r = e.remove((*t)->table->root, key_bytes(key));
    if (!r) {
        abandon();
        return std::unexpected(r.error());
    }
    if (*r) {
        (*t)->table->length = (*t)->table->root ? (*t)->table->root->length : 0;
        (*t)->table_changed = true;
    }
    return *r;
}

Result<bool> WriteTransaction::remove_first() {
    auto f = first();
    if (!f) return std::unexpected(f.error());
    if (!*f) return false;
    return remove((*f)->first);
}

Status WriteTransaction::commit() {
    auto t = running(session_);
    if (!t) return std::unexpected(t.error());
    SessionState* s = session_;
    session_ = nullptr;
    return detail::commit_transaction(*s, false);
}

}  // namespace redb
