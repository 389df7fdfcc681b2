#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace snv::os {

// The machine's logon sessions and the named kernel objects their programs create.
class Sessions {
  public:
    virtual ~Sessions() = default;

    // Whether some active or disconnected session has a signed-in user (a non-empty user
    // name). A failed enumeration counts as nobody; a failed query skips that one session.
    virtual bool any_user_signed_in() = 0;

    // The session attached to the physical console; none when no session is attached.
    virtual std::optional<std::uint32_t> active_console_session() = 0;

    // Whether a mutex of this name exists and may be opened for waiting. A mutex that exists
    // but is denied to us counts as absent.
    virtual bool mutex_exists(std::string_view name) = 0;
};

// WTS session enumeration and OpenMutexW on Windows; utmp natively, where no console session
// and no named mutex ever exist.
Sessions& real_sessions();

}  // namespace snv::os
