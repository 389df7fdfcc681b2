#include "os/sessions.h"

#include <windows.h>

#include <wtsapi32.h>

#include "os/path.h"
#include "win32/handle.h"

namespace snv::os {

namespace {

// Whether the session has a signed-in user: its user name can be queried and is not empty.
bool has_user_name(DWORD session_id) {
    LPWSTR name = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session_id, WTSUserName, &name,
                                     &bytes) ||
        name == nullptr) {
        return false;
    }
    const bool named = name[0] != L'\0';
    WTSFreeMemory(name);
    return named;
}

class WtsSessions final : public Sessions {
  public:
    bool any_user_signed_in() override {
        PWTS_SESSION_INFOW sessions = nullptr;
        DWORD count = 0;
        if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
            return false;
        }
        bool found = false;
        for (DWORD i = 0; i < count && !found; ++i) {
            const WTS_CONNECTSTATE_CLASS state = sessions[i].State;
            if (state != WTSActive && state != WTSDisconnected) continue;
            found = has_user_name(sessions[i].SessionId);
        }
        WTSFreeMemory(sessions);
        return found;
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
