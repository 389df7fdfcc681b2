#pragma once

#include <optional>
#include <string_view>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// The process's environment variables and the user's temporary folder, in the platform's own
// text form (values are not converted or validated).
class Environment {
  public:
    virtual ~Environment() = default;

    // The value of an ASCII-named variable; none when it is not set or cannot be read. A
    // variable set to the empty string gives an empty value.
    virtual std::optional<NativePath> variable(std::string_view name) = 0;

    // The user's temporary folder as the system reports it, ending with a separator.
    virtual Result<NativePath> temp_folder() = 0;
};

Environment& real_environment();

}  // namespace snv::os
