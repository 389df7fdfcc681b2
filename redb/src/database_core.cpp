#include "database_core.h"

namespace redb::detail {

Status DatabaseCore::begin_writable() {
    if (writable) return {};
    if (!allocators_loaded) {
        if (auto s = load_allocator_state(store); !s) return s;
        allocators_loaded = true;
    }
    store.header().recovery_required = true;
    if (auto s = store.write_header(); !s) return s;
    if (auto s = store.sync(); !s) return s;
    writable = true;
    return {};
}

Status DatabaseCore::close() {
    if (closed) return {};
    if (writer != nullptr) writer->abort();
    closed = true;
    Status result;
    if (writable && poisoned) {
        result = std::unexpected(Error::io("an earlier commit failed; the file needs repair"));
    } else if (writable) {
        TransactionData final_commit = TransactionData::next(store);
        result = commit_transaction(*this, final_commit, true);
        if (result) {
            store.header().recovery_required = false;
            result = store.write_header();
            if (result) result = store.sync();
        }
    }
    // The backend is closed even after a failure, so that its lock is released.
    auto released = backend_->close();
    return result ? released : result;
}

DatabaseCore::~DatabaseCore() {
    (void)close();
}

ReadState::ReadState(std::shared_ptr<DatabaseCore> c) : core(std::move(c)) {
    const CommitSlot& slot = core->store.header().primary_slot();
    transaction_id = slot.transaction_id;
    user_root = slot.user_root;
    core->readers.insert(transaction_id);
}

ReadState::~ReadState() {
    core->readers.erase(core->readers.find(transaction_id));
}

WriteState::WriteState(std::shared_ptr<DatabaseCore> c)
    : core(std::move(c)), data(TransactionData::next(core->store)) {
    core->writer = this;
}

WriteState::~WriteState() {
    abort();
}

void WriteState::abort() {
    if (ended) return;
    ended = true;
    core->store.discard_dirty_pages();
    if (core->writer == this) core->writer = nullptr;
}

}  // namespace redb::detail
