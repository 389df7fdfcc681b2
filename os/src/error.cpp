#include "os/error.h"

namespace snv::os {

std::string Error::to_string() const {
    if (!is_os()) return text;
    return text + " (os error " + std::to_string(code) + ")";
}

Error file_too_large(std::uint64_t max_bytes) {
    return Error::own("the file is larger than the " + std::to_string(max_bytes) +
                      " bytes read of it");
}

}  // namespace snv::os
