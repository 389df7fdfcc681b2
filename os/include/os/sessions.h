#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/error.h"

namespace snv::os {

// The connection states of a session, as Windows numbers them (WTS_CONNECTSTATE_CLASS).
namespace session_state {
inline constexpr std::uint32_t active = 0;
inline constexpr std::uint32_t connected = 1;
inline constexpr std::uint32_t connect_query = 2;
inline constexpr std::uint32_t shadow = 3;
inline constexpr std::uint32_t disconnected = 4;
inline constexpr std::uint32_t idle = 5;
inline constexpr std::uint32_t listen = 6;
inline constexpr std::uint32_t reset = 7;
inline constexpr std::uint32_t down = 8;
inline constexpr std::uint32_t init = 9;
}  // namespace session_state

// One session as the enumeration lists it.
struct SessionInfo {
    std::uint32_t id = 0;
    std::uint32_t state = session_state::active;

    friend bool operator==(const SessionInfo&, const SessionInfo&) = default;
};

// The machine's logon sessions and the named kernel objects their programs create.
class Sessions {
  public:
    virtual ~Sessions() = default;

    // Every session of the machine, in the order the system lists them.
    virtual Result<std::vector<SessionInfo>> enumerate_sessions() = 0;

    // The user name of a session, empty when nobody is signed in to it; none when the query
    // fails.
    virtual std::optional<std::string> session_user_name(std::uint32_t session) = 0;

    // The session attached to the physical console; none when no session is attached.
    virtual std::optional<std::uint32_t> active_console_session() = 0;

    // Whether a mutex of this name exists and may be opened for waiting. A mutex that exists
    // but is denied to us counts as absent.
    virtual bool mutex_exists(std::string_view name) = 0;
};

// WTSEnumerateSessionsW and WTSQuerySessionInformationW, and OpenMutexW, on Windows; utmp
// natively (each USER_PROCESS record an active session), where no console session and no named
// mutex ever exist.
Sessions& real_sessions();

}  // namespace snv::os
