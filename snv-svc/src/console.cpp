#include "console.h"

#include "report_error.h"

namespace snv::svc {

// Not built yet: the program says so and ends with exit code 1 instead of idling.
void run_console() {
    report_error(ServiceError::system_call(kCallNotImplemented), false);
}

}  // namespace snv::svc
