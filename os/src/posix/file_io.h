#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "os/error.h"

namespace snv::os::posix {

// Refuses what is not a regular file (a folder, a FIFO, a device, a socket), naming it: a
// FIFO would block the service's thread, a device would never end.
Status require_regular_file(const struct stat& st);

// The whole content of an open regular file, read into a buffer of the file's size; a file
// longer than `max_bytes` (also one that grows past it while it is read) is refused.
Result<std::string> read_all(int fd, std::uint64_t max_bytes);

// Whole-descriptor writes and copies that go on after short transfers and EINTR.
Status write_all_at(int fd, std::string_view bytes, off_t offset);
Status copy_contents(int in, int out);
Status flush(int fd);

}  // namespace snv::os::posix
