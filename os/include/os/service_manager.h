#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "os/error.h"

namespace snv::os {

// The service manager's numbers, as Windows defines them; both builds speak them.
namespace scm {
inline constexpr std::uint32_t manager_connect = 0x1;
inline constexpr std::uint32_t manager_create_service = 0x2;
inline constexpr std::uint32_t service_change_config = 0x2;
inline constexpr std::uint32_t service_query_status = 0x4;
inline constexpr std::uint32_t service_start = 0x10;
inline constexpr std::uint32_t service_stop = 0x20;
inline constexpr std::uint32_t delete_access = 0x10000;

inline constexpr std::uint32_t win32_own_process = 0x10;
inline constexpr std::uint32_t auto_start = 0x2;
inline constexpr std::uint32_t error_normal = 0x1;

inline constexpr std::uint32_t state_stopped = 1;
inline constexpr std::uint32_t state_running = 4;
inline constexpr std::uint32_t state_paused = 7;

inline constexpr std::uint32_t control_stop = 1;
inline constexpr std::uint32_t control_pause = 2;
inline constexpr std::uint32_t control_continue = 3;
inline constexpr std::uint32_t control_interrogate = 4;
inline constexpr std::uint32_t control_shutdown = 5;
inline constexpr std::uint32_t control_preshutdown = 15;

inline constexpr std::uint32_t accept_stop = 0x1;
inline constexpr std::uint32_t accept_shutdown = 0x4;
}  // namespace scm

// What CreateServiceW and ChangeServiceConfigW are given. Texts are UTF-8; the caller has made
// sure that none holds a NUL character.
struct ServiceConfig {
    std::string name;  // used by creation only
    std::string display_name;
    std::uint32_t service_type = 0;
    std::uint32_t start_type = 0;
    std::uint32_t error_control = 0;
    std::string command_line;  // lpBinaryPathName
};

// The Service Control Manager of the local machine, one call per method. Errors carry the code
// that GetLastError gave right after the failed call.
class ServiceManager {
  public:
    // An open manager or service handle; never 0.
    using Handle = std::uintptr_t;

    virtual ~ServiceManager() = default;

    // OpenSCManagerW on the local machine's default database.
    virtual Result<Handle> open_manager(std::uint32_t access) = 0;
    // CreateServiceW with no load-order group, tag, dependencies, account or password.
    virtual Result<Handle> create_service(Handle manager, const ServiceConfig& config,
                                          std::uint32_t access) = 0;
    virtual Result<Handle> open_service(Handle manager, std::string_view name,
                                        std::uint32_t access) = 0;
    // ChangeServiceConfigW with the config's type, start, error control, command line and
    // display name; null dependencies, account and password keep what is registered.
    virtual Status change_config(Handle service, const ServiceConfig& config) = 0;
    // ChangeServiceConfig2W with SERVICE_CONFIG_DESCRIPTION.
    virtual Status set_description(Handle service, std::string_view description) = 0;
    // dwCurrentState of QueryServiceStatusEx (SC_STATUS_PROCESS_INFO), unchecked.
    virtual Result<std::uint32_t> query_state(Handle service) = 0;
    // StartServiceW without start arguments.
    virtual Status start(Handle service) = 0;
    // ControlService with a status buffer that is not read.
    virtual Status control(Handle service, std::uint32_t control) = 0;
    virtual Status remove(Handle service) = 0;
    // CloseServiceHandle.
    virtual void close(Handle handle) = 0;
};

// The Windows manager on Windows. The Linux stand-in has none: every open fails.
ServiceManager& real_service_manager();

}  // namespace snv::os
