#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/error.h"

namespace snv::os {

// Answers the controls that the service manager delivers to a registered service.
class ControlHandler {
  public:
    virtual ~ControlHandler() = default;
    // The HandlerEx answer for `control` (event type and data are never used).
    virtual std::uint32_t control(std::uint32_t control) = 0;
};

// A SERVICE_STATUS, field for field.
struct ServiceStatusReport {
    std::uint32_t service_type = 0;
    std::uint32_t current_state = 0;
    std::uint32_t controls_accepted = 0;
    std::uint32_t win32_exit_code = 0;
    std::uint32_t service_specific_exit_code = 0;
    std::uint32_t check_point = 0;
    std::uint32_t wait_hint = 0;

    friend bool operator==(const ServiceStatusReport&, const ServiceStatusReport&) = default;
};

// The service side of the manager: the dispatcher, the control handler and status reports.
class ServiceDispatcher {
  public:
    using StatusHandle = std::uintptr_t;
    // Runs on a thread the dispatcher creates, with the manager's arguments in UTF-8.
    using ServiceMain = std::function<void(std::vector<std::string> args)>;

    virtual ~ServiceDispatcher() = default;

    // StartServiceCtrlDispatcherW with a table of this one service. Blocks until the service
    // has stopped; fails at once (1063 on Windows) when no service manager started the process.
    virtual Status run(std::string_view service_name, ServiceMain service_main) = 0;

    // RegisterServiceCtrlHandlerExW with `handler` as its context. On success the dispatcher
    // keeps the handler until the process ends, so a control that the manager delivers late
    // still finds it; on failure the handler is released before this returns.
    virtual Result<StatusHandle> register_handler(std::string_view service_name,
                                                  std::unique_ptr<ControlHandler> handler) = 0;

    // SetServiceStatus.
    virtual Status set_status(StatusHandle handle, const ServiceStatusReport& status) = 0;
};

// The Windows dispatcher on Windows. The Linux stand-in answers as Windows answers a process
// that the manager did not start: the dispatcher fails with 1063.
ServiceDispatcher& real_service_dispatcher();

}  // namespace snv::os
