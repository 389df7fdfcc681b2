#include "os/launcher.h"

#include <cerrno>

#include "os/system_error.h"

namespace snv::os {

namespace {

// There is no other user's session to start a program in.
class RefusingLauncher final : public Launcher {
  public:
    Status start_as_session_user(std::uint32_t, const NativePath&, std::string_view,
                                 const std::optional<NativePath>&) override {
        return std::unexpected(system_error(EPERM));
    }
};

}  // namespace

Launcher& real_launcher() {
    static RefusingLauncher launcher;
    return launcher;
}

}  // namespace snv::os
