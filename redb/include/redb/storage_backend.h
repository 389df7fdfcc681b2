#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "redb/error.h"

namespace redb {

// Where a database's bytes live, as redb's own StorageBackend: positioned reads and writes,
// length, durability and a close. The database owns its backend and calls close() once, last.
class StorageBackend {
  public:
    virtual ~StorageBackend() = default;

    virtual Result<std::uint64_t> len() = 0;
    // Reads exactly out.size() bytes at `offset`; reading past the end is an error.
    virtual Status read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    virtual Status set_len(std::uint64_t len) = 0;
    // Makes every write so far durable.
    virtual Status sync_data() = 0;
    virtual Status write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
    // Releases what the backend holds (a file's handle and lock).
    virtual Status close() = 0;
};

// The file at `path`, opened for reading and writing (created when missing, never truncated)
// with redb's lock taken without waiting: flock on Linux, LockFileEx on Windows, so that redb
// programs exclude each other. Errors: AlreadyOpen while another handle holds the lock; Io when
// the file cannot be opened, is not a regular file, or `path` names a symbolic link (or on
// Windows any reparse point), which is refused rather than followed.
Result<std::unique_ptr<StorageBackend>> open_file_backend(const std::filesystem::path& path);

// Bytes in memory, for tests and fuzzing. The bytes are shared, so that a test can look at
// them after the database that owned the backend is gone.
class InMemoryBackend final : public StorageBackend {
  public:
    using Contents = std::vector<std::uint8_t>;

    InMemoryBackend() : bytes_(std::make_shared<Contents>()) {}
    explicit InMemoryBackend(std::shared_ptr<Contents> bytes) : bytes_(std::move(bytes)) {}
    explicit InMemoryBackend(std::span<const std::uint8_t> contents)
        : bytes_(std::make_shared<Contents>(contents.begin(), contents.end())) {}

    Result<std::uint64_t> len() override { return bytes_->size(); }
    Status read(std::uint64_t offset, std::span<std::uint8_t> out) override;
    Status set_len(std::uint64_t len) override;
    Status sync_data() override { return {}; }
    Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    Status close() override { return {}; }

    const std::shared_ptr<Contents>& contents() const { return bytes_; }

  private:
    std::shared_ptr<Contents> bytes_;
};

}  // namespace redb
