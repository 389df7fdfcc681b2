#include "report_error.h"

#include "os/console.h"
#include "os/process.h"
#include "product.h"

namespace snv::svc {

std::string error_report(const ServiceError& error, bool hint) {
    std::string out = std::string(kDisplayName) + ": " + error.text() + "\n";
    if (hint) out += "This program is a Windows service. Use /install, /uninstall or /console.\n";
    return out;
}

void report_error(const ServiceError& error, bool hint) {
    os::real_console().write_err(error_report(error, hint));
    os::exit_process(1);
}

}  // namespace snv::svc
