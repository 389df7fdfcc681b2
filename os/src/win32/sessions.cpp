#include "os/sessions.h"

#include <windows.h>

#include <wtsapi32.h>

#include <memory>

#include "os/path.h"
#include "os/system_error.h"
#include "win32/handle.h"

namespace snv::os {

namespace {

// A buffer that a WTS call allocated, freed with WTSFreeMemory on every path.
struct WtsFree {
    void operator()(void* buffer) const { WTSFreeMemory(buffer); }
};
template <typename T>
using WtsBuffer = std::unique_ptr<T, WtsFree>;

class WtsSessions final : public Sessions {
  public:
    Result<std::vector<SessionInfo>> enumerate_sessions() override {
        PWTS_SESSION_INFOW listed = nullptr;
        DWORD count = 0;
        if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &listed, &count)) {
            return std::unexpected(last_system_error());
        }
        const WtsBuffer<WTS_SESSION_INFOW> sessions(listed);
        std::vector<SessionInfo> copied;
        for (DWORD i = 0; i < count; ++i) {
            copied.push_back(
                {sessions.get()[i].SessionId, static_cast<std::uint32_t>(sessions.get()[i].State)});
        }
        return copied;
    }

    std::optional<std::string> session_user_name(std::uint32_t session) override {
        LPWSTR buffer = nullptr;
        DWORD bytes = 0;
        if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &buffer,
                                         &bytes)) {
            return std::nullopt;
        }
        const WtsBuffer<WCHAR> name(buffer);
        if (!name) return std::nullopt;
        return to_utf8(NativePath(name.get()));
    }

    std::optional<std::uint32_t> active_console_session() override {
        const DWORD session = WTSGetActiveConsoleSessionId();
        if (session == 0xFFFFFFFF) return std::nullopt;
        return session;
    }

    bool mutex_exists(std::string_view name) override {
        const std::wstring wide = to_native(name);
        win32::Handle mutex(OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str()));
        return mutex.ok();
    }
};

}  // namespace

Sessions& real_sessions() {
    static WtsSessions sessions;
    return sessions;
}

}  // namespace snv::os
