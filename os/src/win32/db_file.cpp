#include <windows.h>

#include <algorithm>

#include "os/db_file.h"

namespace snv::os {

namespace {

// The system's message for a Win32 code, in UTF-8, trailing white space removed.
Error win32_error(DWORD code, const char* what) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = what;
    if (n > 0 && buffer != nullptr) {
        std::wstring message(buffer, n);
        while (!message.empty() &&
               (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
            message.pop_back();
        text += ": " + to_utf8(message);
    }
    if (buffer != nullptr) LocalFree(buffer);
    return Error::os(code, text);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

class Win32DbFile final : public DbFile {
  public:
    explicit Win32DbFile(HANDLE h) : h_(h) {}
    ~Win32DbFile() override { CloseHandle(h_); }  // closing releases the lock
    Win32DbFile(const Win32DbFile&) = delete;
    Win32DbFile& operator=(const Win32DbFile&) = delete;

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
            DWORD got = 0;
            OVERLAPPED o = at(offset + done);
            if (!ReadFile(h_, out.data() + done, want, &got, &o)) {
                DWORD e = GetLastError();
                if (e == ERROR_HANDLE_EOF)
                    return std::unexpected(Error::own("read beyond the end of the file"));
                return std::unexpected(win32_error(e, "read"));
            }
            if (got == 0) return std::unexpected(Error::own("read beyond the end of the file"));
            done += got;
        }
        return {};
    }

    Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
            DWORD put = 0;
            OVERLAPPED o = at(offset + done);
            if (!WriteFile(h_, data.data() + done, want, &put, &o))
                return std::unexpected(win32_error(GetLastError(), "write"));
            done += put;
        }
        return {};
    }

    Result<std::uint64_t> len() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            return std::unexpected(win32_error(GetLastError(), "file size"));
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    Status set_len(std::uint64_t len) override {
        FILE_END_OF_FILE_INFO info{};
        info.EndOfFile.QuadPart = static_cast<LONGLONG>(len);
        if (!SetFileInformationByHandle(h_, FileEndOfFileInfo, &info, sizeof info))
            return std::unexpected(win32_error(GetLastError(), "set length"));
        return {};
    }

    Status sync() override {
        if (!FlushFileBuffers(h_)) return std::unexpected(win32_error(GetLastError(), "sync"));
        return {};
    }

    // The whole range, exclusive, failing at once: the lock the other redb programs take.
    Result<bool> try_lock() override {
        OVERLAPPED o{};
        if (LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &o))
            return true;
        DWORD e = GetLastError();
        if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return false;
        return std::unexpected(win32_error(e, "lock"));
    }

  private:
    HANDLE h_;
};

}  // namespace

Result<std::unique_ptr<DbFile>> open_db_file(const NativePath& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::unexpected(win32_error(GetLastError(), "open"));
    return std::make_unique<Win32DbFile>(h);
}

}  // namespace snv::os
