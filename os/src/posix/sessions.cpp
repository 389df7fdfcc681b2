#include "os/sessions.h"

#include <utmpx.h>

#include <cstring>

namespace snv::os {

namespace {

// Linux has no console session to start a program in, and no kernel objects named like the
// desktop program's mutex: only the signed-in users are real here. Each USER_PROCESS record of
// utmp is an active session, numbered in the order read; its user name is kept from that
// reading for the queries that follow, so that a probe reads utmp once.
class UtmpSessions final : public Sessions {
  public:
    Result<std::vector<SessionInfo>> enumerate_sessions() override {
        users_.clear();
        setutxent();
        while (const utmpx* record = getutxent()) {
            if (record->ut_type != USER_PROCESS) continue;
            // ut_user is NUL-terminated only when it is shorter than its field.
            users_.emplace_back(record->ut_user, strnlen(record->ut_user, sizeof record->ut_user));
        }
        endutxent();
        std::vector<SessionInfo> sessions;
        for (std::uint32_t id = 0; id < users_.size(); ++id) {
            sessions.push_back({id, session_state::active});
        }
        return sessions;
    }

    std::optional<std::string> session_user_name(std::uint32_t session) override {
        if (session >= users_.size()) return std::nullopt;
        return users_[session];
    }

    std::optional<std::uint32_t> active_console_session() override { return std::nullopt; }

    bool mutex_exists(std::string_view) override { return false; }

  private:
    std::vector<std::string> users_;  // of the last enumeration, by session id
};

}  // namespace

Sessions& real_sessions() {
    static UtmpSessions sessions;
    return sessions;
}

}  // namespace snv::os
