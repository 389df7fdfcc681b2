#include "os/console.h"

#include <windows.h>

#include "os/path.h"

namespace snv::os {

namespace {

void write_to(DWORD which, std::string_view utf8) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode)) {
        // A console shows Unicode whatever its code page only when given UTF-16.
        std::wstring wide = to_native(utf8);
        const wchar_t* p = wide.data();
        std::size_t left = wide.size();
        while (left > 0) {
            DWORD chunk = left > 8192 ? 8192 : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteConsoleW(h, p, chunk, &written, nullptr) || written == 0) return;
            p += written;
            left -= written;
        }
        return;
    }
    const char* p = utf8.data();
    std::size_t left = utf8.size();
    while (left > 0) {
        DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr) || written == 0) return;
        p += written;
        left -= written;
    }
}

class Win32Console final : public Console {
  public:
    void write_out(std::string_view utf8) override { write_to(STD_OUTPUT_HANDLE, utf8); }
    void write_err(std::string_view utf8) override { write_to(STD_ERROR_HANDLE, utf8); }
};

}  // namespace

Console& real_console() {
    static Win32Console console;
    return console;
}

}  // namespace snv::os
