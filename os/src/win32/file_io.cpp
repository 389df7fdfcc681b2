#include "win32/file_io.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "in_place_of_file.h"
#include "os/system_error.h"
#include "read_whole.h"
#include "win32/handle.h"

namespace snv::os::win32 {

namespace {

Status seek(HANDLE h, std::uint64_t offset) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return std::unexpected(last_system_error());
    return {};
}

// One read of at most `size` bytes: the bytes read, 0 at the end of the file.
Result<DWORD> read_some(HANDLE h, char* into, std::size_t size) {
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!ReadFile(h, into, want, &n, nullptr)) return std::unexpected(last_system_error());
    return n;
}

}  // namespace

Result<std::string> read_all(HANDLE h, std::uint64_t max_bytes) {
    const DWORD type = GetFileType(h);
    if (type != FILE_TYPE_DISK) {
        const Found found = type == FILE_TYPE_PIPE   ? Found::pipe_or_fifo
                            : type == FILE_TYPE_CHAR ? Found::device
                                                     : Found::other;
        return std::unexpected(in_place_of_the_file(found));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) return std::unexpected(last_system_error());
    return read_whole(static_cast<std::uint64_t>(size.QuadPart), max_bytes,
                      [h](char* into, std::size_t room) { return read_some(h, into, room); });
}

Status write_all_at(HANDLE h, std::string_view bytes, std::uint64_t offset) {
    if (auto s = seek(h, offset); !s) return s;
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD n = 0;
        if (!WriteFile(h, bytes.data(), chunk, &n, nullptr)) {
            return std::unexpected(last_system_error());
        }
        if (n == 0) return std::unexpected(system_error(ERROR_WRITE_FAULT));
        bytes.remove_prefix(n);
    }
    return {};
}

Status set_size(HANDLE h, std::uint64_t size) {
    if (auto s = seek(h, size); !s) return s;
    if (!SetEndOfFile(h)) return std::unexpected(last_system_error());
    return {};
}

Status flush(HANDLE h) {
    if (!FlushFileBuffers(h)) return std::unexpected(last_system_error());
    return {};
}

Status rename_by_handle(const NativePath& from, const NativePath& to) {
    Handle h(CreateFileW(from.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) return std::unexpected(last_system_error());
    const std::size_t name_bytes = to.size() * sizeof(wchar_t);
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The Flags member shares the first field with ReplaceIfExists; older headers lack it.
    const DWORD flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name_bytes);
    std::memcpy(buffer.data() + offsetof(FILE_RENAME_INFO, FileName), to.c_str(), name_bytes);
    if (!SetFileInformationByHandle(h.get(), static_cast<FILE_INFO_BY_HANDLE_CLASS>(22),
                                    buffer.data(), static_cast<DWORD>(buffer.size()))) {
        return std::unexpected(last_system_error());
    }
    return {};
}

std::uint64_t filetime_count(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace snv::os::win32
