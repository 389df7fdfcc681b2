// Holds a named mutex the way the desktop program does: creates the mutex named by the first
// argument, makes the file "held" in the folder of the second, and keeps the mutex until a
// file "release" appears there (or 60 s have passed).
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, argv[1]);
    if (mutex == nullptr) return 1;
    const std::wstring folder = argv[2];
    HANDLE held = CreateFileW((folder + L"\\held").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    const std::wstring release = folder + L"\\release";
    for (int i = 0; i < 3000 && GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(20);
    }
    CloseHandle(mutex);
    return 0;
}
