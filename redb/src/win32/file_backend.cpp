#include <windows.h>

#include <algorithm>
#include <string>

#include "redb/storage_backend.h"

namespace redb {

namespace {

// The system's message for a Win32 code, as UTF-8 without trailing white space.
Error win32_error(DWORD code, const char* what) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = what;
    if (n > 0 && buffer != nullptr) {
        std::wstring message(buffer, n);
        while (!message.empty() &&
               (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
            message.pop_back();
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, message.data(), static_cast<int>(message.size()),
                                nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(bytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, message.data(), static_cast<int>(message.size()),
                            utf8.data(), bytes, nullptr, nullptr);
        text += ": " + utf8;
    }
    if (buffer != nullptr) LocalFree(buffer);
    return Error::io(text, code);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

// What a handle of another type than a disk file leads to, in words.
const char* what_stands_there(DWORD file_type) {
    if (file_type == FILE_TYPE_PIPE) return "a pipe or FIFO";
    if (file_type == FILE_TYPE_CHAR) return "a device";
    return "something other than a file";
}

class Win32FileBackend final : public StorageBackend {
  public:
    explicit Win32FileBackend(HANDLE h) : h_(h) {}
    ~Win32FileBackend() override { (void)close(); }
    Win32FileBackend(const Win32FileBackend&) = delete;
    Win32FileBackend& operator=(const Win32FileBackend&) = delete;

    Result<std::uint64_t> len() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            return std::unexpected(win32_error(GetLastError(), "file size"));
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
            DWORD got = 0;
            OVERLAPPED o = at(offset + done);
            if (!ReadFile(h_, out.data() + done, want, &got, &o)) {
                const DWORD e = GetLastError();
                if (e == ERROR_HANDLE_EOF)
                    return std::unexpected(Error::io("read beyond the end of the file"));
                return std::unexpected(win32_error(e, "read"));
            }
            if (got == 0) return std::unexpected(Error::io("read beyond the end of the file"));
            done += got;
        }
        return {};
    }

    Status set_len(std::uint64_t len) override {
        FILE_END_OF_FILE_INFO info{};
        info.EndOfFile.QuadPart = static_cast<LONGLONG>(len);
        if (!SetFileInformationByHandle(h_, FileEndOfFileInfo, &info, sizeof info))
            return std::unexpected(win32_error(GetLastError(), "set length"));
        return {};
    }

    Status sync_data() override {
        if (!FlushFileBuffers(h_)) return std::unexpected(win32_error(GetLastError(), "sync"));
        return {};
    }

    Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
            DWORD put = 0;
            OVERLAPPED o = at(offset + done);
            if (!WriteFile(h_, data.data() + done, want, &put, &o))
                return std::unexpected(win32_error(GetLastError(), "write"));
            done += put;
        }
        return {};
    }

    // Closing the handle releases the lock.
    Status close() override {
        if (h_ == INVALID_HANDLE_VALUE) return {};
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h)) return std::unexpected(win32_error(GetLastError(), "close"));
        return {};
    }

  private:
    HANDLE h_;
};

}  // namespace

Result<std::unique_ptr<StorageBackend>> open_file_backend(const std::filesystem::path& path) {
    // Shared for reading, writing and deletion, so that a second opener gets as far as the lock
    // and learns that the database is busy. The path is opened as a reparse point itself (a
    // symbolic link or junction planted there is not followed) and then refused.
    const HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::unexpected(win32_error(GetLastError(), "open"));
    auto backend = std::make_unique<Win32FileBackend>(h);
    // Wine opens a FIFO planted there as a pipe; no database can live in one.
    if (const DWORD type = GetFileType(h); type != FILE_TYPE_DISK)
        return std::unexpected(win32_error(
            ERROR_INVALID_FUNCTION,
            (std::string("open: ") + what_stands_there(type) + " in place of the file").c_str()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        return std::unexpected(win32_error(GetLastError(), "file information"));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return std::unexpected(
            win32_error(ERROR_CANT_ACCESS_FILE, "open: a link in place of the file"));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::unexpected(
            win32_error(ERROR_ACCESS_DENIED, "open: a folder in place of the file"));
    // A second name may lie anywhere on the volume: writing through it would change a file
    // that is not the database's own.
    if (info.nNumberOfLinks != 1)
        return std::unexpected(win32_error(ERROR_TOO_MANY_LINKS,
                                           "open: a file with more than one name (a hard link)"));
    // redb's lock: the whole range, exclusive, failing at once.
    OVERLAPPED o{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                    &o)) {
        const DWORD e = GetLastError();
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING)
            return std::unexpected(
                Error{ErrorKind::AlreadyOpen, "Database already open. Cannot acquire lock.", 0});
        return std::unexpected(win32_error(e, "lock"));
    }
    return backend;
}

}  // namespace redb
