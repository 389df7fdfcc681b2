#pragma once

#include "os/db_file.h"
#include "redb/storage.h"

namespace redb {

// The writer's view (Storage) of the locked database file.
class DbFileStorage final : public Storage {
public:
    explicit DbFileStorage(snv::os::DbFile& file) : file_(&file) {}
    snv::os::Result<std::uint64_t> length() override { return file_->len(); }
    snv::os::Status read(std::uint64_t offset, std::span<std::uint8_t> out) override { return file_->read_at(offset, out); }
    snv::os::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        return file_->write_at(offset, data);
    }
    snv::os::Status set_length(std::uint64_t length) override { return file_->set_len(length); }
    snv::os::Status sync() override { return file_->sync(); }

private:
    snv::os::DbFile* file_;
};

}  // namespace redb
