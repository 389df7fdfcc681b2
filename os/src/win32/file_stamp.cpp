#include <windows.h>

#include "os/file_stamp.h"

namespace snv::os {

namespace {

std::uint64_t count_of(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// GetFileAttributesExW describes a symbolic link itself; its target's time comes from a handle
// opened without any access right, which no sharing mode or lock of another process refuses.
std::optional<FileTime> target_last_write(const NativePath& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return count_of(info.ftLastWriteTime);
}

class AttributeFileStamps final : public FileStamps {
  public:
    std::optional<FileTime> last_write(const NativePath& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return target_last_write(path);
        return count_of(data.ftLastWriteTime);
    }
};

}  // namespace

FileStamps& real_file_stamps() {
    static AttributeFileStamps stamps;
    return stamps;
}

}  // namespace snv::os
