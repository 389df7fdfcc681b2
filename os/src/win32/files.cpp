#include "os/files.h"

#include "os/file_system.h"
#include "os/system_error.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace snv::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Error win32_error(DWORD code) {
    return system_error(code);
}
Error last_error() {
    return last_system_error();
}

// Closes the handle when it goes out of scope.
class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (ok()) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

  private:
    HANDLE h_;
};

Result<std::string> read_all(HANDLE h) {
    std::string out;
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            return std::unexpected(last_error());
        }
        if (n == 0) return out;
        out.append(buffer.data(), n);
    }
}

Status seek(HANDLE h, std::uint64_t offset) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return std::unexpected(last_error());
    return {};
}

Status set_size(HANDLE h, std::uint64_t size) {
    if (auto s = seek(h, size); !s) return s;
    if (!SetEndOfFile(h)) return std::unexpected(last_error());
    return {};
}

Status write_all(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD n = 0;
        if (!WriteFile(h, bytes.data(), chunk, &n, nullptr)) return std::unexpected(last_error());
        if (n == 0) return std::unexpected(win32_error(ERROR_WRITE_FAULT));
        bytes.remove_prefix(n);
    }
    return {};
}

Status write_all_at(HANDLE h, std::string_view bytes, std::uint64_t offset) {
    if (auto s = seek(h, offset); !s) return s;
    return write_all(h, bytes);
}

Status flush(HANDLE h) {
    if (!FlushFileBuffers(h)) return std::unexpected(last_error());
    return {};
}

// The rename that works where MoveFileExW is denied: POSIX semantics replace a target that
// another process holds open with delete sharing.
Status rename_by_handle(const NativePath& from, const NativePath& to) {
    Handle h(CreateFileW(from.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) return std::unexpected(last_error());
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
        return std::unexpected(last_error());
    }
    return {};
}

class Win32Files final : public Files {
  public:
    Result<std::string> read_file(const NativePath& path) override {
        Handle h(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) return std::unexpected(last_error());
        return read_all(h.get());
    }

    Status write_file(const NativePath& path, std::string_view bytes) override {
        Handle h(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) return std::unexpected(last_error());
        if (auto written = write_all(h.get(), bytes); !written) return written;
        return flush(h.get());
    }

    Status replace_file(const NativePath& from, const NativePath& to) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
        const DWORD code = GetLastError();
        if (code != ERROR_ACCESS_DENIED) return std::unexpected(win32_error(code));
        return rename_by_handle(from, to);
    }

    Status overwrite_file(const NativePath& path, std::string_view bytes) override {
        Handle h(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) return std::unexpected(last_error());
        auto old = read_all(h.get());
        if (!old) return std::unexpected(old.error());
        const std::uint64_t old_size = old->size();
        const std::uint64_t new_size = bytes.size();
        if (new_size > old_size) {
            // Extending the file allocates its space: a full disk fails here, old content intact.
            if (auto grown = set_size(h.get(), new_size); !grown) {
                (void)set_size(h.get(), old_size);
                return grown;
            }
        }
        auto written = write_all_at(h.get(), bytes, 0);
        if (written) written = set_size(h.get(), new_size);
        if (!written) {
            (void)write_all_at(h.get(), *old, 0);
            (void)set_size(h.get(), old_size);
            return written;
        }
        return flush(h.get());
    }

    Status remove_file(const NativePath& path) override {
        if (!DeleteFileW(path.c_str())) return std::unexpected(last_error());
        return {};
    }

    Status create_folders(const NativePath& path) override {
        return real_file_system().create_folder_all(path);
    }
};

}  // namespace

Files& real_files() {
    static Win32Files files;
    return files;
}

}  // namespace snv::os
