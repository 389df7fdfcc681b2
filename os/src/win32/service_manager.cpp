#include "os/service_manager.h"

#include <windows.h>

#include "os/path.h"
#include "os/system_error.h"

namespace snv::os {

namespace {

SC_HANDLE sc(ServiceManager::Handle h) {
    return reinterpret_cast<SC_HANDLE>(h);
}

Result<ServiceManager::Handle> handle_or_error(SC_HANDLE h) {
    if (h == nullptr) return std::unexpected(last_system_error());
    return reinterpret_cast<ServiceManager::Handle>(h);
}

Status status_of(BOOL ok) {
    if (!ok) return std::unexpected(last_system_error());
    return {};
}

class Win32ServiceManager final : public ServiceManager {
  public:
    Result<Handle> open_manager(std::uint32_t access) override {
        return handle_or_error(OpenSCManagerW(nullptr, nullptr, access));
    }

    Result<Handle> create_service(Handle manager, const ServiceConfig& config,
                                  std::uint32_t access) override {
        std::wstring name = to_native(config.name);
        std::wstring display = to_native(config.display_name);
        std::wstring line = to_native(config.command_line);
        return handle_or_error(CreateServiceW(sc(manager), name.c_str(), display.c_str(), access,
                                              config.service_type, config.start_type,
                                              config.error_control, line.c_str(), nullptr, nullptr,
                                              nullptr, nullptr, nullptr));
    }

    Result<Handle> open_service(Handle manager, std::string_view name,
                                std::uint32_t access) override {
        std::wstring wide = to_native(name);
        return handle_or_error(OpenServiceW(sc(manager), wide.c_str(), access));
    }

    Status change_config(Handle service, const ServiceConfig& config) override {
        std::wstring display = to_native(config.display_name);
        std::wstring line = to_native(config.command_line);
        return status_of(ChangeServiceConfigW(sc(service), config.service_type, config.start_type,
                                              config.error_control, line.c_str(), nullptr, nullptr,
                                              nullptr, nullptr, nullptr, display.c_str()));
    }

    Status set_description(Handle service, std::string_view description) override {
        std::wstring text = to_native(description);
        SERVICE_DESCRIPTIONW info{text.data()};
        return status_of(ChangeServiceConfig2W(sc(service), SERVICE_CONFIG_DESCRIPTION, &info));
    }

    Result<std::uint32_t> query_state(Handle service) override {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!QueryServiceStatusEx(sc(service), SC_STATUS_PROCESS_INFO,
                                  reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
            return std::unexpected(last_system_error());
        }
        return status.dwCurrentState;
    }

    Status start(Handle service) override {
        return status_of(StartServiceW(sc(service), 0, nullptr));
    }

    Status control(Handle service, std::uint32_t control) override {
        SERVICE_STATUS status{};
        return status_of(ControlService(sc(service), control, &status));
    }

    Status remove(Handle service) override { return status_of(DeleteService(sc(service))); }

    void close(Handle handle) override { CloseServiceHandle(sc(handle)); }
};

}  // namespace

ServiceManager& real_service_manager() {
    static Win32ServiceManager manager;
    return manager;
}

}  // namespace snv::os
