#include "os/launcher.h"

#include <windows.h>

#include <userenv.h>
#include <wtsapi32.h>

#include "os/system_error.h"
#include "win32/handle.h"

namespace snv::os {

namespace {

// A user's environment block, destroyed when it goes out of scope.
class EnvironmentBlock {
  public:
    EnvironmentBlock() = default;
    ~EnvironmentBlock() { reset(); }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;

    void** out() { return &block_; }
    void* get() const { return block_; }
    void reset() {
        if (block_ != nullptr) DestroyEnvironmentBlock(block_);
        block_ = nullptr;
    }

  private:
    void* block_ = nullptr;
};

class SessionUserLauncher final : public Launcher {
  public:
    Status start_as_session_user(std::uint32_t session_id, const NativePath& application,
                                 std::string_view command_line,
                                 const std::optional<NativePath>& current_folder) override {
        win32::Handle token;
        if (!WTSQueryUserToken(session_id, token.out())) {
            return std::unexpected(last_system_error());
        }
        // Without the user's own environment the program still starts, with none passed.
        EnvironmentBlock environment;
        if (!CreateEnvironmentBlock(environment.out(), token.get(), FALSE)) environment.reset();

        wchar_t desktop[] = L"winsta0\\default";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.lpDesktop = desktop;
        PROCESS_INFORMATION process{};
        std::wstring line = to_native(command_line);  // the call may write into it
        const BOOL started = CreateProcessAsUserW(
            token.get(), application.c_str(), line.data(), nullptr, nullptr, FALSE,
            CREATE_UNICODE_ENVIRONMENT, environment.get(),
            current_folder ? current_folder->c_str() : nullptr, &startup, &process);
        // Taken before any clean-up call can change it.
        const DWORD code = GetLastError();
        environment.reset();
        token.reset();
        if (!started) return std::unexpected(system_error(code));
        // Neither waited for nor watched.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return {};
    }
};

}  // namespace

Launcher& real_launcher() {
    static SessionUserLauncher launcher;
    return launcher;
}

}  // namespace snv::os
