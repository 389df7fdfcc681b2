#include "engine/session_probe.h"

namespace snv::engine {

bool any_user_signed_in(os::Sessions& sessions) {
    const auto listed = sessions.enumerate_sessions();
    if (!listed) return false;
    for (const os::SessionInfo& session : *listed) {
        if (session.state != os::session_state::active &&
            session.state != os::session_state::disconnected) {
            continue;
        }
        const std::optional<std::string> user = sessions.session_user_name(session.id);
        if (user && !user->empty()) return true;
    }
    return false;
}

}  // namespace snv::engine
