// Stands in for the desktop program Duskpanel.exe: writes the command line it was started with
// and its current folder, one a line in UTF-8, to "started.txt" in that folder, then ends.
#include <windows.h>

#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    wchar_t folder[MAX_PATH + 1] = {};
    if (GetCurrentDirectoryW(MAX_PATH, folder) == 0) return 1;
    const std::string text = utf8(GetCommandLineW()) + "\n" + utf8(folder) + "\n";
    // Written whole under a temporary name, then renamed: a reader never sees half of it.
    const std::wstring partial = std::wstring(folder) + L"\\started.partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != text.size()) return 3;
    const std::wstring done = std::wstring(folder) + L"\\started.txt";
    return MoveFileExW(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
