#pragma once

#include <cstdint>

#include "os/error.h"

namespace snv::os {

// The machine's power and session actions. Each returns as soon as the system has taken the
// request; errors are the code of the call that failed.
class Power {
  public:
    virtual ~Power() = default;

    // Enables the shutdown privilege in this process's own token. Fails (code 1300 on Windows)
    // when the process does not hold the privilege at all.
    virtual Status enable_shutdown_privilege() = 0;

    // Shuts this computer down at once, or restarts it, closing applications by force when
    // `force_apps_closed` is set.
    virtual Status shut_down(bool force_apps_closed, bool reboot) = 0;

    // Puts the machine to sleep, or into hibernation.
    virtual Status suspend(bool hibernate) = 0;

    // Signs out the user of the session, without waiting for it.
    virtual Status log_off_session(std::uint32_t session_id) = 0;
};

// The Windows calls on Windows. Natively every action is refused: the stand-in never acts on
// the machine it runs on.
Power& real_power();

}  // namespace snv::os
