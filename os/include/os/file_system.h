#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// A file's last-write time as a FILETIME count: 100 ns units since 1601-01-01 UTC.
using FileTime = std::uint64_t;

enum class EntryKind { file, folder };

struct Metadata {
    EntryKind kind = EntryKind::file;
    // 100-nanosecond units since 1601-01-01 UTC; 0 where the platform does not keep it.
    FileTime creation_time = 0;
};

// The file-system operations of the data folder. Every file is opened with read, write and
// delete sharing, so that the service never stands in the way of the desktop program.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What `path` names, symbolic links followed.
    virtual Result<Metadata> metadata(const NativePath& path) = 0;

    // The last-write time of the file that `path` leads to (links followed), or none when its
    // attributes cannot be read. Opens nothing for reading, so a file another process holds
    // open or locked still gives its stamp.
    virtual std::optional<FileTime> last_write(const NativePath& path) = 0;

    // The whole content of the file, links followed. Refused: a file longer than `max_bytes`
    // (file_too_large) and anything that is not a regular file, a FIFO or a device say, which
    // is never waited on.
    virtual Result<std::string> read_file(const NativePath& path, std::uint64_t max_bytes) = 0;

    // The same, but only of a regular file with one name: a symbolic link or junction at
    // `path` (the last component), a file with more than one name, a folder or a FIFO is
    // refused. For a file whose content the service, as LocalSystem, copies where the user can
    // read it: a link planted in the folder must not make it read a file elsewhere.
    virtual Result<std::string> read_own_file(const NativePath& path, std::uint64_t max_bytes) = 0;

    // Creates the file, or truncates it when it exists, and writes all of `bytes`, flushed to
    // the disk: a file renamed over another must hold its data before the rename can last.
    // Never writes through a link: a symbolic link or junction at `path`, or a file with more
    // than one name, is refused untouched (the last component only; the folders on the way
    // may be links). The same holds for overwrite_file.
    virtual Status write_file(const NativePath& path, std::string_view bytes) = 0;

    // Renames `from` to `to`, replacing `to` when it exists, in one step. Windows: MoveFileExW
    // with MOVEFILE_REPLACE_EXISTING, and when that is denied a POSIX-semantics rename through
    // the handle of `from` (it succeeds where `to` is held open with delete sharing).
    virtual Status replace_file(const NativePath& from, const NativePath& to) = 0;

    // Writes `bytes` into the file in place (creating it when missing). Space is reserved
    // before the old content is touched, and a write that fails all the same puts the old
    // content back, so a failure never leaves the file short or empty. Flushed like write_file.
    // The old content is held in memory for that: an old file longer than `max_old_bytes` is
    // refused untouched.
    virtual Status overwrite_file(const NativePath& path, std::string_view bytes,
                                  std::uint64_t max_old_bytes) = 0;

    // Deletes the file.
    virtual Status remove_file(const NativePath& path) = 0;

    // Creates the folder and every missing parent; succeeds when it is a folder afterwards,
    // also when it was one before.
    virtual Status create_folder_all(const NativePath& path) = 0;

    // Copies a file's contents and attributes to `to`, which must not exist yet: a file standing
    // there is never replaced. `to` appears whole or not at all, even across a crash.
    virtual Status copy_file_new(const NativePath& from, const NativePath& to) = 0;

    // Sets a folder's creation time and leaves its other times as they are. Linux keeps no
    // settable creation time: there this succeeds and changes nothing.
    virtual Status set_folder_creation_time(const NativePath& folder, FileTime creation_time) = 0;
};

FileSystem& real_file_system();

}  // namespace snv::os
