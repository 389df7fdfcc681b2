#include "os/system_error.h"

#include <cerrno>
#include <cstring>

namespace snv::os {

Error system_error(std::uint32_t code) {
    return Error::os(code, std::strerror(static_cast<int>(code)));
}

Error last_system_error() {
    return system_error(static_cast<std::uint32_t>(errno));
}

}  // namespace snv::os
