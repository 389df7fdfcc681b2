#include "os/power.h"

#include <windows.h>

#include <powrprof.h>
#include <wtsapi32.h>

#include "os/system_error.h"
#include "win32/handle.h"

namespace snv::os {

namespace {

// A planned shutdown with the major and minor reason codes 0.
constexpr DWORD kPlannedShutdown = 0x80000000;

class Win32Power final : public Power {
  public:
    Status enable_shutdown_privilege() override {
        win32::Handle token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                              token.out())) {
            return std::unexpected(last_system_error());
        }
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege",
                                   &privileges.Privileges[0].Luid)) {
            return std::unexpected(last_system_error());
        }
        const BOOL adjusted =
            AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
        // A process that does not hold the privilege at all gets a success with
        // ERROR_NOT_ALL_ASSIGNED as its last error.
        const DWORD code = GetLastError();
        if (!adjusted || code != ERROR_SUCCESS) return std::unexpected(system_error(code));
        return {};
    }

    Status shut_down(bool force_apps_closed, bool reboot) override {
        if (!InitiateSystemShutdownExW(nullptr, nullptr, 0, force_apps_closed, reboot,
                                       kPlannedShutdown)) {
            return std::unexpected(last_system_error());
        }
        return {};
    }

    Status suspend(bool hibernate) override {
        if (!SetSuspendState(hibernate, FALSE, FALSE)) return std::unexpected(last_system_error());
        return {};
    }

    Status log_off_session(std::uint32_t session_id) override {
        if (!WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, session_id, FALSE)) {
            return std::unexpected(last_system_error());
        }
        return {};
    }
};

}  // namespace

Power& real_power() {
    static Win32Power power;
    return power;
}

}  // namespace snv::os
