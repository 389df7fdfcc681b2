#include "os/sessions.h"

#include <utmpx.h>

namespace snv::os {

namespace {

// Linux has no console session to start a program in, and no kernel objects named like the
// desktop program's mutex: only the signed-in users are real here.
class UtmpSessions final : public Sessions {
  public:
    bool any_user_signed_in() override {
        bool found = false;
        setutxent();
        while (const utmpx* record = getutxent()) {
            if (record->ut_type == USER_PROCESS && record->ut_user[0] != '\0') {
                found = true;
                break;
            }
        }
        endutxent();
        return found;
    }

    std::optional<std::uint32_t> active_console_session() override { return std::nullopt; }

    bool mutex_exists(std::string_view) override { return false; }
};

}  // namespace

Sessions& real_sessions() {
    static UtmpSessions sessions;
    return sessions;
}

}  // namespace snv::os
