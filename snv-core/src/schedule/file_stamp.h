#pragma once

#include <optional>

#include "os/file_stamp.h"
#include "os/path.h"

namespace snv::schedule {

// The file's last-write time, or none when its attributes cannot be read. Two stamps match
// when both are none or both hold the same count.
std::optional<os::FileTime> file_stamp(const os::NativePath& path,
                                       os::FileStamps& stamps = os::real_file_stamps());

}  // namespace snv::schedule
