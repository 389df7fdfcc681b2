#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/clock.h"
#include "os/service_dispatcher.h"
#include "os/service_manager.h"

namespace snv::test {

// A service manager that logs each call as text and gives the results the test set. Handles:
// the manager is 1, services count up from 2.
//   "open_manager 0x3", "create Orvanel Somnivo Service 0x16 <command line>",
//   "open Orvanel 0x16", "change <command line>", "describe <text>", "query", "start",
//   "control 1", "remove", "close N"; with `clock` set, each query is logged as "query @T"
//   with T the milliseconds of monotonic time since the first call.
class FakeServiceManager final : public os::ServiceManager {
  public:
    std::vector<std::string> calls;
    // A call named here ("open_manager", "create", "open", "change", "describe", "query",
    // "start", "control", "remove") fails with this code.
    std::map<std::string, std::uint32_t> fails;
    // States that the queries return in turn; the last one repeats.
    std::deque<std::uint32_t> states{os::scm::state_stopped};
    os::Clock* clock = nullptr;

    os::Result<Handle> open_manager(std::uint32_t access) override;
    os::Result<Handle> create_service(Handle manager, const os::ServiceConfig& config,
                                      std::uint32_t access) override;
    os::Result<Handle> open_service(Handle manager, std::string_view name,
                                    std::uint32_t access) override;
    os::Status change_config(Handle service, const os::ServiceConfig& config) override;
    os::Status set_description(Handle service, std::string_view description) override;
    os::Result<std::uint32_t> query_state(Handle service) override;
    os::Status start(Handle service) override;
    os::Status control(Handle service, std::uint32_t control) override;
    os::Status remove(Handle service) override;
    void close(Handle handle) override;

    // Handles opened and not closed.
    std::vector<Handle> open_handles;

  private:
    os::Status outcome(const std::string& name);
    Handle next_ = 1;
    std::optional<os::MonotonicTime> first_call_;
};

// A dispatcher that runs the service main on a thread of its own, as Windows does, keeps the
// registered handler for the test to deliver controls to, and records every status report.
class FakeServiceDispatcher final : public os::ServiceDispatcher {
  public:
    std::optional<std::uint32_t> run_fails;
    std::optional<std::uint32_t> register_fails;
    // Reports numbered from 0 that fail: {1} fails the second report.
    std::vector<std::size_t> report_fails;

    os::Status run(std::string_view service_name, ServiceMain service_main) override;
    os::Result<StatusHandle> register_handler(std::string_view service_name,
                                              std::unique_ptr<os::ControlHandler> handler) override;
    os::Status set_status(StatusHandle handle, const os::ServiceStatusReport& status) override;

    // What the manager would do with a control: call the registered handler, once there is
    // one. A handler that is not registered within 10 s fails the test, and the answer is
    // ERROR_SERVICE_NOT_ACTIVE (1062).
    std::uint32_t deliver(std::uint32_t control);
    std::vector<os::ServiceStatusReport> reports() const;

    std::string dispatched_name;
    std::vector<std::string> service_main_args;
    std::string registered_name;
    bool handler_registered() const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<os::ServiceStatusReport> reports_;
    std::size_t attempts_ = 0;
    std::unique_ptr<os::ControlHandler> handler_;
};

}  // namespace snv::test
