#pragma once

#include <cstdint>
#include <optional>

#include "os/path.h"

namespace snv::os {

// A file's last-write time as a FILETIME count: 100 ns units since 1601-01-01 UTC.
using FileTime = std::uint64_t;

class FileStamps {
  public:
    virtual ~FileStamps() = default;
    // The last-write time of the file that `path` leads to (links followed), or none when its
    // attributes cannot be read. Opens nothing for reading, so a file another process holds
    // open or locked still gives its stamp.
    virtual std::optional<FileTime> last_write(const NativePath& path) = 0;
};

FileStamps& real_file_stamps();

}  // namespace snv::os
