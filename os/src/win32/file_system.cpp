#include "os/file_system.h"

#include <windows.h>

#include "os/system_error.h"

namespace snv::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t to_u64(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

Metadata from_attributes(DWORD attributes, const FILETIME& created) {
    Metadata m;
    m.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder : EntryKind::file;
    m.creation_time = to_u64(created);
    return m;
}

// Where the entry cannot be opened (sharing or access), its folder listing still tells about
// it; but a listing does not follow a link, so a link keeps the open's error.
Result<Metadata> metadata_from_listing(const NativePath& path, DWORD open_error) {
    WIN32_FIND_DATAW data;
    HANDLE find =
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return std::unexpected(system_error(open_error));
    FindClose(find);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return std::unexpected(system_error(open_error));
    }
    return from_attributes(data.dwFileAttributes, data.ftCreationTime);
}

bool is_folder(const NativePath& path, FileSystem& fs) {
    auto m = fs.metadata(path);
    return m && m->kind == EntryKind::folder;
}

// The path without its last component, or empty when it has none to drop.
NativePath parent_of(const NativePath& path) {
    std::size_t end = path.find_last_not_of(L"\\/");
    if (end == NativePath::npos) return {};
    std::size_t cut = path.find_last_of(L"\\/", end);
    if (cut == NativePath::npos) return {};
    return path.substr(0, cut + 1);
}

class Win32FileSystem final : public FileSystem {
  public:
    Result<Metadata> metadata(const NativePath& path) override {
        HANDLE h = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
                return metadata_from_listing(path, error);
            }
            return std::unexpected(system_error(error));
        }
        BY_HANDLE_FILE_INFORMATION info;
        BOOL ok = GetFileInformationByHandle(h, &info);
        DWORD error = GetLastError();
        CloseHandle(h);
        if (!ok) return std::unexpected(system_error(error));
        return from_attributes(info.dwFileAttributes, info.ftCreationTime);
    }

    Status create_folder_all(const NativePath& path) override {
        if (path.empty()) return std::unexpected(Error::own("empty folder path"));
        if (CreateDirectoryW(path.c_str(), nullptr)) return {};
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {
            NativePath parent = parent_of(path);
            if (parent.empty() || parent == path) return std::unexpected(system_error(error));
            if (auto made = create_folder_all(parent); !made) return made;
            if (CreateDirectoryW(path.c_str(), nullptr)) return {};
            error = GetLastError();
        }
        if (is_folder(path, *this)) return {};
        return std::unexpected(system_error(error));
    }

    Status copy_file_new(const NativePath& from, const NativePath& to) override {
        // Copied beside the target first, so that a crash never leaves a partial file under the
        // real name; the final move refuses to replace an existing file.
        NativePath partial = to + L".partial";
        if (!CopyFileExW(from.c_str(), partial.c_str(), nullptr, nullptr, nullptr, 0)) {
            Error error = last_system_error();
            DeleteFileW(partial.c_str());
            return std::unexpected(error);
        }
        HANDLE h = CreateFileW(partial.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(h);  // a read-only copy cannot be opened for this; it is rare
            CloseHandle(h);
        }
        if (!MoveFileExW(partial.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
            Error error = last_system_error();
            SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(partial.c_str());
            return std::unexpected(error);
        }
        return {};
    }

    Status set_folder_creation_time(const NativePath& folder,
                                    std::uint64_t creation_time) override {
        HANDLE h = CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return std::unexpected(last_system_error());
        FILETIME created;
        created.dwLowDateTime = static_cast<DWORD>(creation_time);
        created.dwHighDateTime = static_cast<DWORD>(creation_time >> 32);
        BOOL ok = SetFileTime(h, &created, nullptr, nullptr);
        DWORD error = GetLastError();
        CloseHandle(h);
        if (!ok) return std::unexpected(system_error(error));
        return {};
    }
};

}  // namespace

FileSystem& real_file_system() {
    static Win32FileSystem file_system;
    return file_system;
}

}  // namespace snv::os
