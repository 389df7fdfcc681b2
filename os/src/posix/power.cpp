#include "os/power.h"

#include <cerrno>

#include "os/system_error.h"

namespace snv::os {

namespace {

// The stand-in never acts on the machine it runs on: every action is refused as an
// unprivileged process would be.
class RefusingPower final : public Power {
  public:
    Status enable_shutdown_privilege() override { return refused(); }
    Status shut_down(bool, bool) override { return refused(); }
    Status suspend(bool) override { return refused(); }
    Status log_off_session(std::uint32_t) override { return refused(); }

  private:
    static Status refused() { return std::unexpected(system_error(EPERM)); }
};

}  // namespace

Power& real_power() {
    static RefusingPower power;
    return power;
}

}  // namespace snv::os
