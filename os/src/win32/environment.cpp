#include "os/environment.h"
#include "os/system_error.h"

#include <windows.h>

#include <vector>

namespace snv::os {

namespace {

using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);

// GetTempPath2W exists from Windows 11 and Server 2022 on; older systems have only
// GetTempPathW, so the newer call is looked up once by name.
GetTempPath2Fn find_get_temp_path2() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<GetTempPath2Fn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetTempPath2W")));
}

class Win32Environment final : public Environment {
  public:
    std::optional<NativePath> variable(std::string_view name) override {
        NativePath wide_name = to_native(name);
        std::vector<wchar_t> buffer(256);
        for (;;) {
            SetLastError(ERROR_SUCCESS);
            DWORD n = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(),
                                              static_cast<DWORD>(buffer.size()));
            if (n == 0) {
                // 0 with no error is a variable set to the empty string.
                if (GetLastError() == ERROR_SUCCESS) return NativePath();
                return std::nullopt;
            }
            if (n < buffer.size()) return NativePath(buffer.data(), n);
            buffer.resize(n);
        }
    }

    Result<NativePath> temp_folder() override {
        static const GetTempPath2Fn get_temp_path2 = find_get_temp_path2();
        std::vector<wchar_t> buffer(MAX_PATH + 1);
        for (;;) {
            DWORD size = static_cast<DWORD>(buffer.size());
            DWORD n = get_temp_path2 != nullptr ? get_temp_path2(size, buffer.data())
                                                : GetTempPathW(size, buffer.data());
            if (n == 0) return std::unexpected(last_system_error());
            if (n < buffer.size()) return NativePath(buffer.data(), n);
            buffer.resize(n + 1);
        }
    }
};

}  // namespace

Environment& real_environment() {
    static Win32Environment environment;
    return environment;
}

}  // namespace snv::os
