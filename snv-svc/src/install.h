#pragma once

#include "service_error.h"

namespace snv::svc {

// `/install`: registers or updates the service and starts it.
ServiceStatus install_service();

// `/uninstall`: stops the service and deletes it.
ServiceStatus uninstall_service();

}  // namespace snv::svc
