#pragma once

#include <cstdint>

#include "os/error.h"

namespace snv::os {

// What stands at a path where the service wanted a regular file of its own.
enum class Found { folder, fifo, pipe_or_fifo, socket, device, link, second_name, other };

// The refusal that names what was found: "a FIFO in place of the file", say.
Error in_place_of_the_file(Found found);

// The same text under the platform's code for that refusal (ELOOP, ERROR_TOO_MANY_LINKS...),
// for callers that tell the refusals apart by code.
Error in_place_of_the_file(Found found, std::uint32_t os_code);

}  // namespace snv::os
