#include "os/system_error.h"

#include <windows.h>

#include <cwctype>

#include "os/path.h"

namespace snv::os {

Error system_error(std::uint32_t code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message;
    if (n != 0 && text != nullptr) message.assign(text, n);
    if (text != nullptr) LocalFree(text);
    // The system ends its messages with a line break (some with a blank before it), which an
    // error line must not carry.
    while (!message.empty() && std::iswspace(message.back())) message.pop_back();
    if (message.empty()) message = L"Unknown error";
    return Error::os(code, to_utf8(message));
}

Error last_system_error() {
    return system_error(GetLastError());
}

}  // namespace snv::os
