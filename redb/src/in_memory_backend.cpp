#include <algorithm>

#include "redb/storage_backend.h"

namespace redb {

namespace {
// Large enough for any test database, small enough that a corrupt length cannot exhaust memory.
constexpr std::uint64_t kMaxMemoryFile = 1ull << 30;
}  // namespace

Status InMemoryBackend::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes_->size() || out.size() > bytes_->size() - offset)
        return std::unexpected(Error::io("read beyond the end of the file"));
    std::copy_n(bytes_->begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return {};
}

Status InMemoryBackend::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (offset > kMaxMemoryFile || data.size() > kMaxMemoryFile - offset)
        return std::unexpected(Error::io("write beyond the size of a memory file"));
    if (offset + data.size() > bytes_->size()) bytes_->resize(offset + data.size());
    std::copy(data.begin(), data.end(), bytes_->begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
}

Status InMemoryBackend::set_len(std::uint64_t len) {
    if (len > kMaxMemoryFile)
        return std::unexpected(Error::io("length beyond the size of a memory file"));
    bytes_->resize(len);
    return {};
}

}  // namespace redb
