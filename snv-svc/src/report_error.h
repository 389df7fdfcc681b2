#pragma once

#include <string>

#include "service_error.h"

namespace snv::svc {

// What `report_error` writes: the error line, and the hint line when asked for.
std::string error_report(const ServiceError& error, bool hint);

// Writes `error_report` to standard error and ends the process with exit code 1.
[[noreturn]] void report_error(const ServiceError& error, bool hint);

}  // namespace snv::svc
