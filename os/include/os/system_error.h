#pragma once

#include <cstdint>

#include "os/error.h"

namespace snv::os {

// An OS error with the system's own message for the code (FormatMessageW on Windows,
// strerror natively).
Error system_error(std::uint32_t code);

// The error of the call that just failed: GetLastError() on Windows, errno natively.
Error last_system_error();

}  // namespace snv::os
