#include "install.h"

#include <chrono>

#include "os/path.h"
#include "os/quote_argument.h"
#include "product.h"

namespace snv::svc {

namespace {

using Handle = os::ServiceManager::Handle;

constexpr std::uint32_t kInstallManagerAccess =
    os::scm::manager_connect | os::scm::manager_create_service;
constexpr std::uint32_t kInstallServiceAccess =
    os::scm::service_change_config | os::scm::service_query_status | os::scm::service_start;
constexpr std::uint32_t kUninstallManagerAccess = os::scm::manager_connect;
constexpr std::uint32_t kUninstallServiceAccess =
    os::scm::service_query_status | os::scm::service_stop | os::scm::delete_access;

constexpr int kStopPolls = 50;
constexpr std::chrono::milliseconds kStopPollInterval{100};

// ERROR_PATH_NOT_FOUND: no data folder could be formed to register.
constexpr std::uint32_t kNoDataFolder = 3;

// A manager or service handle, closed when it goes. Declared in the order opened, the service
// handle is closed before the manager's.
class OpenHandle {
  public:
    OpenHandle(os::ServiceManager& manager, Handle handle) : manager_(manager), handle_(handle) {}
    ~OpenHandle() { manager_.close(handle_); }
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;

    Handle get() const { return handle_; }

  private:
    os::ServiceManager& manager_;
    Handle handle_;
};

std::expected<std::uint32_t, ServiceError> query_state(os::ServiceManager& manager,
                                                       Handle service) {
    auto state = manager.query_state(service);
    if (!state) return std::unexpected(ServiceError::system_call(state.error()));
    if (*state < os::scm::state_stopped || *state > os::scm::state_paused) {
        return std::unexpected(ServiceError::invalid_value("service status"));
    }
    return *state;
}

std::expected<ServiceRegistration, ServiceError> build_registration(os::Process& process,
                                                                    paths::DataDir& data_dir) {
    ServiceRegistration reg;
    reg.service_name = kServiceName;
    reg.display_name = kDisplayName;
    reg.service_type = os::scm::win32_own_process;
    reg.start_type = os::scm::auto_start;
    reg.error_control = os::scm::error_normal;
    auto path = process.executable_path();
    if (!path) return std::unexpected(ServiceError::system_call(path.error()));
    reg.executable_path = os::to_utf8(*path);
    const os::NativePath* folder = data_dir.get();
    if (folder == nullptr) return std::unexpected(ServiceError::system_call(kNoDataFolder));
    reg.launch_arguments = {"--data", os::to_utf8(*folder)};
    return reg;
}

ServiceStatus check_registration(const ServiceRegistration& reg) {
    for (auto ok : {check_text(reg.service_name, "service name"),
                    check_text(reg.display_name, "display name"),
                    check_text(reg.executable_path, "executable path"),
                    check_elements(reg.launch_arguments, "launch argument")}) {
        if (!ok) return ok;
    }
    return {};
}

// Creates the service, or, when that fails for whatever reason (most often because it exists),
// opens it and registers the same values. The creation error is dropped either way.
std::expected<Handle, ServiceError> create_or_update(os::ServiceManager& manager,
                                                     Handle manager_handle,
                                                     const os::ServiceConfig& config) {
    if (auto created = manager.create_service(manager_handle, config, kInstallServiceAccess)) {
        return *created;
    }
    auto opened = manager.open_service(manager_handle, config.name, kInstallServiceAccess);
    if (!opened) return std::unexpected(ServiceError::system_call(opened.error()));
    if (auto changed = manager.change_config(*opened, config); !changed) {
        manager.close(*opened);
        return std::unexpected(ServiceError::system_call(changed.error()));
    }
    return *opened;
}

}  // namespace

std::string registered_command_line(const ServiceRegistration& registration) {
    std::string line = os::quote_argument(registration.executable_path);
    for (const std::string& arg : registration.launch_arguments) {
        line += ' ';
        line += os::quote_argument(arg);
    }
    return line;
}

ServiceStatus install_service(os::ServiceManager& manager, os::Process& process,
                              paths::DataDir& data_dir) {
    auto opened = manager.open_manager(kInstallManagerAccess);
    if (!opened) return std::unexpected(ServiceError::system_call(opened.error()));
    const OpenHandle manager_handle(manager, *opened);

    auto reg = build_registration(process, data_dir);
    if (!reg) return std::unexpected(reg.error());
    if (auto ok = check_registration(*reg); !ok) return ok;
    const os::ServiceConfig config{reg->service_name,  reg->display_name,
                                   reg->service_type,  reg->start_type,
                                   reg->error_control, registered_command_line(*reg)};

    auto service_opened = create_or_update(manager, manager_handle.get(), config);
    if (!service_opened) return std::unexpected(service_opened.error());
    const OpenHandle service(manager, *service_opened);

    if (auto ok = check_text(kServiceDescription, "service description"); !ok) return ok;
    if (auto ok = manager.set_description(service.get(), kServiceDescription); !ok) {
        return std::unexpected(ServiceError::system_call(ok.error()));
    }
    auto state = query_state(manager, service.get());
    if (!state) return std::unexpected(state.error());
    // A running service keeps its old command line until its next start.
    if (*state != os::scm::state_running) {
        if (auto ok = manager.start(service.get()); !ok) {
            return std::unexpected(ServiceError::system_call(ok.error()));
        }
    }
    return {};
}

ServiceStatus uninstall_service(os::ServiceManager& manager, os::Clock& clock) {
    auto opened = manager.open_manager(kUninstallManagerAccess);
    if (!opened) return std::unexpected(ServiceError::system_call(opened.error()));
    const OpenHandle manager_handle(manager, *opened);

    if (auto ok = check_text(kServiceName, "service name"); !ok) return ok;
    auto service_opened =
        manager.open_service(manager_handle.get(), kServiceName, kUninstallServiceAccess);
    if (!service_opened) return std::unexpected(ServiceError::system_call(service_opened.error()));
    const OpenHandle service(manager, *service_opened);

    auto state = query_state(manager, service.get());
    if (!state) return std::unexpected(state.error());
    if (*state != os::scm::state_stopped) {
        // A refused stop (starting, already stopping) does not end the removal.
        (void)manager.control(service.get(), os::scm::control_stop);
        for (int poll = 0; poll < kStopPolls; ++poll) {
            clock.sleep_for(kStopPollInterval);
            state = query_state(manager, service.get());
            if (!state) return std::unexpected(state.error());
            if (*state == os::scm::state_stopped) break;
        }
    }
    // A service still running is only marked for deletion, and goes when it stops.
    if (auto ok = manager.remove(service.get()); !ok) {
        return std::unexpected(ServiceError::system_call(ok.error()));
    }
    return {};
}

}  // namespace snv::svc
