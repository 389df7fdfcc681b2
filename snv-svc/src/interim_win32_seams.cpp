// Stand-ins for the Win32 sessions, launcher and power seams while their real implementations
// are written on the engine's branch; this file goes when they land. Nothing here acts.
#ifdef _WIN32

#include "os/launcher.h"
#include "os/power.h"
#include "os/sessions.h"
#include "os/system_error.h"

namespace snv::os {

namespace {

constexpr std::uint32_t kNotImplemented = 120;

class NoSessions final : public Sessions {
  public:
    bool any_user_signed_in() override { return false; }
    std::optional<std::uint32_t> active_console_session() override { return std::nullopt; }
    bool mutex_exists(std::string_view) override { return false; }
};

class NoLauncher final : public Launcher {
  public:
    Status start_as_session_user(std::uint32_t, const NativePath&, std::string_view,
                                 const std::optional<NativePath>&) override {
        return std::unexpected(system_error(kNotImplemented));
    }
};

class NoPower final : public Power {
  public:
    Status enable_shutdown_privilege() override { return refuse(); }
    Status shut_down(bool, bool) override { return refuse(); }
    Status suspend(bool) override { return refuse(); }
    Status log_off_session(std::uint32_t) override { return refuse(); }

  private:
    static Status refuse() { return std::unexpected(system_error(kNotImplemented)); }
};

}  // namespace

Sessions& real_sessions() {
    static NoSessions sessions;
    return sessions;
}

Launcher& real_launcher() {
    static NoLauncher launcher;
    return launcher;
}

Power& real_power() {
    static NoPower power;
    return power;
}

}  // namespace snv::os

#endif
