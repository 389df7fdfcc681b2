#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "os/error.h"

namespace snv::os::posix {

// Whole-descriptor reads and writes that go on after short transfers and EINTR.
Result<std::string> read_all(int fd);
Status write_all_at(int fd, std::string_view bytes, off_t offset);
Status copy_contents(int in, int out);
Status flush(int fd);

}  // namespace snv::os::posix
