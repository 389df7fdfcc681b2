#include "os/file_system.h"

#include <windows.h>

#include <utility>

#include "in_place_of_file.h"
#include "os/system_error.h"
#include "win32/file_io.h"
#include "win32/handle.h"

namespace snv::os {

namespace {

using win32::filetime_count;
using win32::Handle;
using win32::kShareAll;

Metadata from_attributes(DWORD attributes, const FILETIME& created) {
    Metadata m;
    m.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder : EntryKind::file;
    m.creation_time = filetime_count(created);
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

// The path without its last component, or empty when it has none to drop.
NativePath parent_of(const NativePath& path) {
    std::size_t end = path.find_last_not_of(L"\\/");
    if (end == NativePath::npos) return {};
    std::size_t cut = path.find_last_of(L"\\/", end);
    if (cut == NativePath::npos) return {};
    return path.substr(0, cut + 1);
}

// GetFileAttributesExW describes a symbolic link itself; its target's time comes from a handle
// opened without any access right, which no sharing mode or lock of another process refuses.
std::optional<FileTime> target_last_write(const NativePath& path) {
    Handle h(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
    return filetime_count(info.ftLastWriteTime);
}

// Opens the file with `access` (`disposition` OPEN_ALWAYS creates it when missing) as the
// entry itself: a symbolic link or junction at `path` is opened as the link and refused, and so
// is a file with more than one name. The service works as LocalSystem in a folder that other
// programs can write: a planted link must not redirect what it writes or reads.
Result<Handle> open_own_file(const NativePath& path, DWORD access, DWORD disposition) {
    Handle h(CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.ok()) return std::unexpected(last_system_error());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.get(), &info)) return std::unexpected(last_system_error());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return std::unexpected(in_place_of_the_file(Found::link, ERROR_CANT_ACCESS_FILE));
    }
    if (info.nNumberOfLinks != 1) {
        return std::unexpected(in_place_of_the_file(Found::second_name, ERROR_TOO_MANY_LINKS));
    }
    return h;
}

// Deletes the copy that could not be moved into place. It is read-only when its source is, and
// then loses that attribute first, through a handle on the entry itself and only while it has
// no other name: a link put there meanwhile must not change a file elsewhere.
void remove_left_copy(const NativePath& path) {
    if (DeleteFileW(path.c_str())) return;
    auto opened = open_own_file(path, DELETE | FILE_WRITE_ATTRIBUTES, OPEN_EXISTING);
    if (!opened) return;
    FILE_BASIC_INFO writable{};  // times of 0 stay as they are
    writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(opened->get(), FileBasicInfo, &writable, sizeof writable)) {
        return;
    }
    FILE_DISPOSITION_INFO gone{TRUE};
    SetFileInformationByHandle(opened->get(), FileDispositionInfo, &gone, sizeof gone);
}

class Win32FileSystem final : public FileSystem {
  public:
    Result<Metadata> metadata(const NativePath& path) override {
        Handle h(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!h.ok()) {
            DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
                return metadata_from_listing(path, error);
            }
            return std::unexpected(system_error(error));
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(h.get(), &info)) {
            return std::unexpected(last_system_error());
        }
        return from_attributes(info.dwFileAttributes, info.ftCreationTime);
    }

    std::optional<FileTime> last_write(const NativePath& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return target_last_write(path);
        return filetime_count(data.ftLastWriteTime);
    }

    Result<std::string> read_file(const NativePath& path, std::uint64_t max_bytes) override {
        Handle h(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) return std::unexpected(last_system_error());
        return win32::read_all(h.get(), max_bytes);
    }

    Result<std::string> read_own_file(const NativePath& path, std::uint64_t max_bytes) override {
        auto opened = open_own_file(path, GENERIC_READ, OPEN_EXISTING);
        if (!opened) return std::unexpected(opened.error());
        return win32::read_all(opened->get(), max_bytes);
    }

    Status write_file(const NativePath& path, std::string_view bytes) override {
        auto opened = open_own_file(path, GENERIC_WRITE, OPEN_ALWAYS);
        if (!opened) return std::unexpected(opened.error());
        const Handle h = std::move(*opened);
        if (auto emptied = win32::set_size(h.get(), 0); !emptied) return emptied;
        if (auto written = win32::write_all_at(h.get(), bytes, 0); !written) return written;
        return win32::flush(h.get());
    }

    Status replace_file(const NativePath& from, const NativePath& to) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
        const DWORD code = GetLastError();
        if (code != ERROR_ACCESS_DENIED) return std::unexpected(system_error(code));
        return win32::rename_by_handle(from, to);
    }

    Status overwrite_file(const NativePath& path, std::string_view bytes,
                          std::uint64_t max_old_bytes) override {
        auto opened = open_own_file(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        if (!opened) return std::unexpected(opened.error());
        const Handle h = std::move(*opened);
        auto old = win32::read_all(h.get(), max_old_bytes);
        if (!old) return std::unexpected(old.error());
        const std::uint64_t old_size = old->size();
        const std::uint64_t new_size = bytes.size();
        if (new_size > old_size) {
            // Extending the file allocates its space: a full disk fails here, old content intact.
            if (auto grown = win32::set_size(h.get(), new_size); !grown) {
                (void)win32::set_size(h.get(), old_size);
                return grown;
            }
        }
        auto written = win32::write_all_at(h.get(), bytes, 0);
        if (written) written = win32::set_size(h.get(), new_size);
        if (!written) {
            (void)win32::write_all_at(h.get(), *old, 0);
            (void)win32::set_size(h.get(), old_size);
            return written;
        }
        return win32::flush(h.get());
    }

    Status remove_file(const NativePath& path) override {
        if (!DeleteFileW(path.c_str())) return std::unexpected(last_system_error());
        return {};
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
        if (auto m = metadata(path); m && m->kind == EntryKind::folder) return {};
        return std::unexpected(system_error(error));
    }

    Status copy_file_new(const NativePath& from, const NativePath& to) override {
        // Copied beside the target first, so that a crash never leaves a partial file under the
        // real name; the final move refuses to replace an existing file. What stands at the
        // temporary name is removed, and the copy refuses to write into anything put there
        // after that: a link planted in the data folder must not receive the file's content.
        NativePath partial = to + L".partial";
        DeleteFileW(partial.c_str());
        if (!CopyFileExW(from.c_str(), partial.c_str(), nullptr, nullptr, nullptr,
                         COPY_FILE_FAIL_IF_EXISTS)) {
            const DWORD code = GetLastError();
            // Refused because something stands there: it is not ours to delete.
            if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
                DeleteFileW(partial.c_str());
            }
            return std::unexpected(system_error(code));
        }
        {
            // A read-only copy cannot be opened for this; it is rare.
            Handle h(CreateFileW(partial.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
            if (h.ok()) FlushFileBuffers(h.get());
        }
        if (!MoveFileExW(partial.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
            Error error = last_system_error();
            remove_left_copy(partial);
            return std::unexpected(error);
        }
        return {};
    }

    Status set_folder_creation_time(const NativePath& folder, FileTime creation_time) override {
        Handle h(CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!h.ok()) return std::unexpected(last_system_error());
        FILETIME created;
        created.dwLowDateTime = static_cast<DWORD>(creation_time);
        created.dwHighDateTime = static_cast<DWORD>(creation_time >> 32);
        if (!SetFileTime(h.get(), &created, nullptr, nullptr)) {
            return std::unexpected(last_system_error());
        }
        return {};
    }
};

}  // namespace

FileSystem& real_file_system() {
    static Win32FileSystem file_system;
    return file_system;
}

}  // namespace snv::os
