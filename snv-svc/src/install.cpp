#include "install.h"

namespace snv::svc {

// Not built yet: the program says so instead of pretending to have done it.
ServiceStatus install_service() {
    return std::unexpected(ServiceError::system_call(kCallNotImplemented));
}

ServiceStatus uninstall_service() {
    return std::unexpected(ServiceError::system_call(kCallNotImplemented));
}

}  // namespace snv::svc
