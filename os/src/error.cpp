#include "os/error.h"

namespace snv::os {

std::string Error::to_string() const {
    if (!is_os()) return text;
    return text + " (os error " + std::to_string(code) + ")";
}

}  // namespace snv::os
