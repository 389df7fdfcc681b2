#pragma once

#include "service_error.h"

namespace snv::svc {

// Hands the calling thread to the service manager's dispatcher; returns once the service has
// stopped.
ServiceStatus run_dispatcher();

}  // namespace snv::svc
