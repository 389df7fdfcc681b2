#pragma once

#include <string>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// Whole-file operations on the data folder's files. Every file is opened with read, write and
// delete sharing, so that the service never stands in the way of the desktop program.
class Files {
  public:
    virtual ~Files() = default;

    // The whole content of the file.
    virtual Result<std::string> read_file(const NativePath& path) = 0;

    // Creates the file, or truncates it when it exists, and writes all of `bytes`, flushed to
    // the disk: a file renamed over another must hold its data before the rename can last.
    virtual Status write_file(const NativePath& path, std::string_view bytes) = 0;

    // Renames `from` to `to`, replacing `to` when it exists, in one step. Windows: MoveFileExW
    // with MOVEFILE_REPLACE_EXISTING, and when that is denied a POSIX-semantics rename through
    // the handle of `from` (it succeeds where `to` is held open with delete sharing).
    virtual Status replace_file(const NativePath& from, const NativePath& to) = 0;

    // Writes `bytes` into the file in place (creating it when missing). Space is reserved
    // before the old content is touched, and a write that fails all the same puts the old
    // content back, so a failure never leaves the file short or empty. Flushed like write_file.
    virtual Status overwrite_file(const NativePath& path, std::string_view bytes) = 0;

    // Deletes the file.
    virtual Status remove_file(const NativePath& path) = 0;

    // Creates the folder and every missing folder above it; a folder that exists is fine.
    virtual Status create_folders(const NativePath& path) = 0;
};

// The process's real file system.
Files& real_files();

}  // namespace snv::os
