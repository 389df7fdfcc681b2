#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::os::win32 {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The whole content of an open disk file, read into a buffer of the file's size; anything
// else (a pipe, a device: Wine opens a planted FIFO as a pipe) is refused, and so is a file
// longer than `max_bytes`, also one that grows past it while it is read.
Result<std::string> read_all(HANDLE h, std::uint64_t max_bytes);

// Whole-handle writes that go on after short transfers.
Status write_all_at(HANDLE h, std::string_view bytes, std::uint64_t offset);
Status set_size(HANDLE h, std::uint64_t size);
Status flush(HANDLE h);

// The rename that works where MoveFileExW is denied: POSIX semantics replace a target that
// another process holds open with delete sharing.
Status rename_by_handle(const NativePath& from, const NativePath& to);

std::uint64_t filetime_count(const FILETIME& time);

}  // namespace snv::os::win32
