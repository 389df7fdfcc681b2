#pragma once

namespace redb {
// The only on-disk format this library reads and writes.
inline constexpr int kFileFormatVersion = 3;
}  // namespace redb
