#include "engine/power_actions.h"

#include <string>

namespace snv::engine {

namespace {

os::Status refused(std::string_view text) {
    return std::unexpected(os::Error::own(std::string(text)));
}

// The privilege goes first; the action's own call is made only once it holds.
template <typename Call>
os::Status privileged(os::Power& power, Call call) {
    if (auto enabled = power.enable_shutdown_privilege(); !enabled) return enabled;
    return call();
}

}  // namespace

os::Status execute_action(os::Power& power, os::Sessions& sessions, model::Action action,
                          bool force_close_apps) {
    using model::Action;
    switch (action) {
        case Action::shutdown:
        case Action::restart:
            return privileged(power, [&] {
                return power.shut_down(force_close_apps, action == Action::restart);
            });
        case Action::sleep:
        case Action::hibernate:
            return privileged(power, [&] { return power.suspend(action == Action::hibernate); });
        case Action::sign_out: {
            const std::optional<std::uint32_t> session = sessions.active_console_session();
            if (!session) return refused(kNoActiveConsoleSession);
            return power.log_off_session(*session);
        }
        case Action::lock:
        case Action::monitor_off:
        case Action::screensaver:
            break;
    }
    return refused(kNeedsLoggedOnUser);
}

}  // namespace snv::engine
