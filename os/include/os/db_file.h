#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// A database file opened for reading and writing: positioned reads and writes, length, sync
// and an exclusive lock held by this handle until it is closed.
class DbFile {
  public:
    virtual ~DbFile() = default;

    // Reads exactly out.size() bytes at `offset`; reading past the end is an error.
    virtual Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    virtual Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
    virtual Result<std::uint64_t> len() = 0;
    virtual Status set_len(std::uint64_t len) = 0;
    // Makes written data durable (fdatasync / FlushFileBuffers).
    virtual Status sync() = 0;
    // Takes the exclusive lock without waiting: true when taken, false when another handle
    // (another process) holds it. The lock is released when the file is closed.
    virtual Result<bool> try_lock() = 0;
};

// Opens `path` for reading and writing, creating it when missing and never truncating it.
// On Windows the file is shared for reading, writing and deletion, so that a second opener
// gets as far as the lock and learns that the database is busy.
Result<std::unique_ptr<DbFile>> open_db_file(const NativePath& path);

// A file held in memory, for tests and fuzzing; try_lock always succeeds.
class MemoryDbFile final : public DbFile {
  public:
    MemoryDbFile() = default;
    explicit MemoryDbFile(std::span<const std::uint8_t> contents)
        : bytes_(contents.begin(), contents.end()) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    Result<std::uint64_t> len() override { return bytes_.size(); }
    Status set_len(std::uint64_t len) override;
    Status sync() override { return {}; }
    Result<bool> try_lock() override { return true; }

    const std::basic_string<std::uint8_t>& contents() const { return bytes_; }

  private:
    std::basic_string<std::uint8_t> bytes_;
};

}  // namespace snv::os
