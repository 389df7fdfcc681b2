#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// Starts programs in another user's session, as that user.
class Launcher {
  public:
    virtual ~Launcher() = default;

    // Starts `application` with `command_line` (the whole line, program path included) in the
    // session `session_id`, as its signed-in user, with that user's environment, on the desktop
    // "winsta0\default", in `current_folder` (none: the caller's). The started program is
    // neither waited for nor watched. The error is the code of the call that failed.
    virtual Status start_as_session_user(std::uint32_t session_id, const NativePath& application,
                                         std::string_view command_line,
                                         const std::optional<NativePath>& current_folder) = 0;
};

// WTSQueryUserToken and CreateProcessAsUserW on Windows; natively every start is refused.
Launcher& real_launcher();

}  // namespace snv::os
