#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os/clock.h"
#include "os/process.h"
#include "os/service_manager.h"
#include "paths/data_dir.h"
#include "service_error.h"

namespace snv::svc {

// The values that `/install` registers, for creation and reconfiguration alike.
struct ServiceRegistration {
    std::string service_name;
    std::string display_name;
    std::uint32_t service_type = 0;
    std::uint32_t start_type = 0;
    std::uint32_t error_control = 0;
    std::string executable_path;
    std::vector<std::string> launch_arguments;
};

// The path and each launch argument quoted, joined by single blanks: the manager starts the
// service with this line, and splitting it gives the path and the arguments back unchanged.
std::string registered_command_line(const ServiceRegistration& registration);

// `/install`: registers the service, or brings the registration up to date, sets its
// description and starts it unless it runs. Handles are closed on every path, service first.
ServiceStatus install_service(os::ServiceManager& manager, os::Process& process,
                              paths::DataDir& data_dir);

// `/uninstall`: asks the service to stop, polls its state for up to 50 x 100 ms, and deletes it.
ServiceStatus uninstall_service(os::ServiceManager& manager, os::Clock& clock);

}  // namespace snv::svc
