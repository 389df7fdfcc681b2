#include "redb/write_session.h"

#include "session_state.h"
#include "system_tables.h"
#include "tree_editor.h"

namespace redb {

using detail::SessionState;

namespace {

Error usage(std::string text) { return {ErrorKind::Unsupported, std::move(text), 0}; }

// Writing next to a persistent savepoint would need the allocated-pages bookkeeping that keeps
// its pages alive; this library does not keep it, so it leaves such files alone.
Status refuse_savepoints(SessionState& s) {
    auto& root = s.store.header().primary_slot().system_root;
    for (auto table : {detail::kSavepointTable, detail::kDataAllocatedTable}) {
        auto def = detail::read_table(s.store, root, table);
        if (!def) return std::unexpected(def.error());
        if (*def && (*def)->root && (*def)->root->length > 0)
            return std::unexpected(Error{ErrorKind::Unsupported,
                "the database has a persistent savepoint; writing to such a file is not supported", 0});
    }
    return {};
}

}  // namespace

WriteSession::WriteSession(std::unique_ptr<SessionState> state) : state_(std::move(state)) {}
WriteSession::~WriteSession() = default;

Result<std::unique_ptr<WriteSession>> WriteSession::open(const snv::os::NativePath& path) {
    auto file = snv::os::open_db_file(path);
    if (!file) return std::unexpected(detail::io_failure(file.error()));
    return open(std::move(*file));
}

Result<std::unique_ptr<WriteSession>> WriteSession::open(std::unique_ptr<snv::os::DbFile> file) {
    auto state = detail::open_session(std::move(file));
    if (!state) return std::unexpected(state.error());
    return std::unique_ptr<WriteSession>(new WriteSession(std::move(*state)));
}

bool WriteSession::repaired() const { return state_->repaired; }

Result<WriteTransaction> WriteSession::begin_write() {
    SessionState& s = *state_;
    if (s.closed) return std::unexpected(usage("the database is closed"));
    if (s.poisoned)
        return std::unexpected(Error::io("an earlier commit failed; reopen the database"));
    if (s.txn) return std::unexpected(usage("a write transaction is already running"));
    if (auto r = refuse_savepoints(s); !r) return std::unexpected(r.error());
    auto& slot = s.store.header().primary_slot();
    s.txn.emplace();
    s.txn->id = slot.transaction_id + 1;
    s.txn->user_root = slot.user_root;
    s.txn->system_root = slot.system_root;
    return WriteTransaction(&s);
}

Status WriteSession::close() {
    SessionState& s = *state_;
    if (s.closed) return {};
    if (s.txn) {
        s.store.discard_dirty_pages();
        s.txn.reset();
    }
    s.closed = true;
    if (s.poisoned) return std::unexpected(Error::io("an earlier commit failed; the file needs repair"));
    auto& slot = s.store.header().primary_slot();
    s.txn.emplace();
    s.txn->id = slot.transaction_id + 1;
    s.txn->user_root = slot.user_root;
    s.txn->system_root = slot.system_root;
    if (auto r = detail::commit_transaction(s, true); !r) return r;
    s.store.header().recovery_required = false;
    if (auto r = s.store.write_header(); !r) return r;
    return s.store.sync();
}

}  // namespace redb
