#include "os/process.h"

#include <windows.h>

#include <vector>

#include "os/system_error.h"

namespace snv::os {

namespace {

class Win32Process final : public Process {
  public:
    std::string command_line() override { return to_utf8(GetCommandLineW()); }

    Result<NativePath> executable_path() override {
        std::vector<wchar_t> buffer(MAX_PATH);
        for (;;) {
            DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return std::unexpected(last_system_error());
            // A full buffer means the path was cut short.
            if (n < buffer.size()) return NativePath(buffer.data(), n);
            if (buffer.size() >= 32768)
                return std::unexpected(system_error(ERROR_INSUFFICIENT_BUFFER));
            buffer.resize(buffer.size() * 2);
        }
    }
};

}  // namespace

Process& real_process() {
    static Win32Process process;
    return process;
}

void exit_process(int code) {
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace snv::os
