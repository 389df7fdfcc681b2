#include "clean_state.h"

#include <memory>

#include "redb/write_session.h"

namespace redb {

namespace {

// The caller's file, lent to a session: the caller keeps it, and its lock, afterwards. Taking
// the lock again through the same handle would fail on Windows, so it reports it as held.
class LentDbFile final : public snv::os::DbFile {
public:
    explicit LentDbFile(snv::os::DbFile& file) : file_(&file) {}
    snv::os::Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        return file_->read_at(offset, out);
    }
    snv::os::Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        return file_->write_at(offset, data);
    }
    snv::os::Result<std::uint64_t> len() override { return file_->len(); }
    snv::os::Status set_len(std::uint64_t len) override { return file_->set_len(len); }
    snv::os::Status sync() override { return file_->sync(); }
    snv::os::Result<bool> try_lock() override { return true; }

private:
    snv::os::DbFile* file_;
};

}  // namespace

Status write_clean_state(snv::os::DbFile& file) {
    auto session = WriteSession::open(std::make_unique<LentDbFile>(file));
    if (!session) return std::unexpected(session.error());
    return (*session)->close();
}

}  // namespace redb
