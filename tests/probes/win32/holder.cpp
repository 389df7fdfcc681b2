// Holds something the way another program does, until a file "release" appears in FOLDER (or
// 60 s have passed), having made the file "held" there once it holds it:
//   holder mutex NAME FOLDER   the named mutex, as the desktop program holds its own
//   holder file PATH FOLDER    the file opened for reading without delete or write sharing
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring what = argv[1];
    HANDLE object = nullptr;
    if (what == L"mutex") {
        object = CreateMutexW(nullptr, FALSE, argv[2]);
    } else if (what == L"file") {
        object = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (object == INVALID_HANDLE_VALUE) object = nullptr;
    } else {
        return 2;
    }
    if (object == nullptr) return 1;
    const std::wstring folder = argv[3];
    HANDLE held = CreateFileW((folder + L"\\held").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    const std::wstring release = folder + L"\\release";
    for (int i = 0; i < 3000 && GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(20);
    }
    CloseHandle(object);
    return 0;
}
