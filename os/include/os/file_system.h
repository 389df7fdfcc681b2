#pragma once

#include <cstdint>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

enum class EntryKind { file, folder };

struct Metadata {
    EntryKind kind = EntryKind::file;
    // 100-nanosecond units since 1601-01-01 UTC; 0 where the platform does not keep it.
    std::uint64_t creation_time = 0;
};

// The file-system operations of the data folder.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What `path` names, symbolic links followed.
    virtual Result<Metadata> metadata(const NativePath& path) = 0;

    // Creates the folder and every missing parent; succeeds when it is a folder afterwards,
    // also when it was one before.
    virtual Status create_folder_all(const NativePath& path) = 0;

    // Copies a file's contents and attributes to `to`, which must not exist yet: a file standing
    // there is never replaced. `to` appears whole or not at all, even across a crash.
    virtual Status copy_file_new(const NativePath& from, const NativePath& to) = 0;

    // Sets a folder's creation time and leaves its other times as they are. Linux keeps no
    // settable creation time: there this succeeds and changes nothing.
    virtual Status set_folder_creation_time(const NativePath& folder,
                                            std::uint64_t creation_time) = 0;
};

FileSystem& real_file_system();

}  // namespace snv::os
