#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string_view>

#include "os/environment.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::paths {

// The folder that the first read fixes: SNV_DATA_DIR, else the per-user folder, which is
// created and filled from the machine-wide one when it is not there yet. None when no per-user
// folder can be formed.
std::optional<os::NativePath> resolve_data_dir(os::Environment& env, os::FileSystem& fs);

// First-run copy of the machine-wide folder's data files into the new per-user folder, with
// the folder's creation time. Files already in the new folder are never replaced.
void migrate_legacy_data(const os::NativePath& new_dir, const os::NativePath& legacy,
                         os::FileSystem& fs);

// The data folder, behind a one-time guard: fixed once, by the command line (`set`) or by the
// first read (`get`), and never changed afterwards. Every data file is this folder joined with
// the file's name. The executable keeps the process's one; any thread may read it.
class DataDir {
  public:
    DataDir(os::Environment& env, os::FileSystem& fs) : env_(env), fs_(fs) {}
    DataDir(const DataDir&) = delete;
    DataDir& operator=(const DataDir&) = delete;

    // The folder, resolved on the first call when `set` did not fix it. Null only while no
    // folder can be formed at all (neither LOCALAPPDATA nor a temporary folder is known); the
    // folder then stays unfixed and the next call tries again.
    const os::NativePath* get();
    // Creates `folder` with its missing parents (a failure is ignored), then fixes it as the
    // data folder unless the folder is already fixed.
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
