#include "schedule/file_stamp.h"

namespace snv::schedule {

std::optional<os::FileTime> file_stamp(const os::NativePath& path, os::FileStamps& stamps) {
    return stamps.last_write(path);
}

}  // namespace snv::schedule
