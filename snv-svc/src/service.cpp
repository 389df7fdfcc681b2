#include "service.h"

namespace snv::svc {

ServiceStatus run_dispatcher() {
#ifdef _WIN32
    // Not built yet: the program says so instead of pretending to have run.
    return std::unexpected(ServiceError::system_call(kCallNotImplemented));
#else
    // Linux has no service manager to connect to: the answer Windows gives a console start.
    return std::unexpected(ServiceError::system_call(kFailedServiceControllerConnect));
#endif
}

}  // namespace snv::svc
