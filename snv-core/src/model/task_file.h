#pragma once

#include <cstdint>
#include <string_view>

#include "model/task.h"
#include "os/error.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::model {

// The most of tasks.json that is read, and written: a file of a thousand tasks is about
// 300 KB, and the records of a larger one, however short its tasks, stay well within what a
// service may take in memory.
inline constexpr std::uint64_t kTaskFileMaxBytes = 8u << 20;

// Reads tasks.json. Never fails: a missing, unreadable, too large or rejected file gives the
// empty TaskFile (version 0, no tasks), in silence, and the file is left as it is.
TaskFile load_task_file(const os::NativePath& path, os::FileSystem& files);

// Sets `file.version` to 1 and writes the pretty text through `path` + ".tmp", renamed over
// `path`; when the rename fails, writes `path` in place (old content kept if that fails too).
os::Status save_task_file(TaskFile& file, const os::NativePath& path, os::FileSystem& files);

// Removes the first task with this id from the file on disk when it is temporary, and saves
// the file. A change that another program makes between our read and our rename is seen
// (the file is read again just before the rename) and the removal is redone on the new
// content. Gives true when a task was removed, false when there was none to remove.
os::Result<bool> remove_temporary_task_from_file(const os::NativePath& path, std::string_view id,
                                                 os::FileSystem& files);

}  // namespace snv::model
