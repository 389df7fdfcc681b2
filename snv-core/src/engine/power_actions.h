#pragma once

#include <string_view>

#include "model/action.h"
#include "os/error.h"
#include "os/power.h"
#include "os/sessions.h"

namespace snv::engine {

inline constexpr std::string_view kNoActiveConsoleSession = "no active console session";
inline constexpr std::string_view kNeedsLoggedOnUser = "this action needs a logged-on user";

// Performs the action at once, as the service: shut down, restart, sleep and hibernate with the
// shutdown privilege enabled first, sign-out of the console session. Lock, turning off the
// display and the screensaver need a user's desktop and are refused.
os::Status execute_action(os::Power& power, os::Sessions& sessions, model::Action action,
                          bool force_close_apps);

}  // namespace snv::engine
