#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string_view>

#include "os/environment.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::paths {

// The data folder of the whole process: fixed once, by the command line or by the first read,
// and never changed afterwards. Every data file is this folder joined with the file's name.
//
// Null only while no folder can be formed at all (neither LOCALAPPDATA nor a temporary folder
// is known); the folder then stays unfixed and the next read tries again.
const os::NativePath* data_dir();

// The data folder joined with a data file's name, built anew at each call; none while no
// folder can be formed.
std::optional<os::NativePath> data_file(std::string_view name);

// Creates `folder` with its missing parents (a failure is ignored), then fixes it as the data
// folder unless the folder is already fixed.
void set_data_dir(os::NativePath folder);

// The folder that the first read fixes: SNV_DATA_DIR, else the per-user folder, which is
// created and filled from the machine-wide one when it is not there yet. None when no per-user
// folder can be formed.
std::optional<os::NativePath> resolve_data_dir(os::Environment& env = os::real_environment(),
                                               os::FileSystem& fs = os::real_file_system());

// First-run copy of the machine-wide folder's data files into the new per-user folder, with
// the folder's creation time. Files already in the new folder are never replaced.
void migrate_legacy_data(const os::NativePath& new_dir, const os::NativePath& legacy,
                         os::FileSystem& fs = os::real_file_system());

// The one-time guard around the folder; `data_dir` and `set_data_dir` use the process's own.
class DataDir {
  public:
    DataDir(os::Environment& env, os::FileSystem& fs) : env_(env), fs_(fs) {}
    DataDir(const DataDir&) = delete;
    DataDir& operator=(const DataDir&) = delete;

    const os::NativePath* get();
    void set(os::NativePath folder);

  private:
    os::Environment& env_;
    os::FileSystem& fs_;
    std::mutex mutex_;
    std::optional<os::NativePath> folder_;
    // Published once `folder_` holds its final value; after that reads take no lock.
    std::atomic<const os::NativePath*> fixed_{nullptr};
};

}  // namespace snv::paths
