#include <algorithm>

#include "os/db_file.h"

namespace snv::os {

namespace {
// Large enough for any test database, small enough that a corrupt length cannot exhaust memory.
constexpr std::uint64_t kMaxMemoryFile = 1ull << 30;
}  // namespace

Status MemoryDbFile::read_at(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
        return std::unexpected(Error::own("read beyond the end of the file"));
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return {};
}

Status MemoryDbFile::write_at(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (offset > kMaxMemoryFile || data.size() > kMaxMemoryFile - offset)
        return std::unexpected(Error::own("write beyond the size of a memory file"));
    if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
}

Status MemoryDbFile::set_len(std::uint64_t len) {
    if (len > kMaxMemoryFile)
        return std::unexpected(Error::own("length beyond the size of a memory file"));
    bytes_.resize(len);
    return {};
}

}  // namespace snv::os
