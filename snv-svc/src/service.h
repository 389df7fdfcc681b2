#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine_run.h"
#include "os/service_dispatcher.h"
#include "service_error.h"
#include "stop_channel.h"

namespace snv::svc {

// Hands the calling thread to the service manager's dispatcher; returns once the service has
// stopped. The service builds its engine with `start_engine` when it runs.
ServiceStatus run_dispatcher(os::ServiceDispatcher& dispatcher, StartEngine start_engine);

// The service's entry on the dispatcher's thread; the manager's arguments are not used.
void service_main(std::vector<std::string> args, os::ServiceDispatcher& dispatcher,
                  const StartEngine& start_engine);

// Registers the control handler, reports running, ticks until a stop, reports stopped.
ServiceStatus run_service(os::ServiceDispatcher& dispatcher, const StartEngine& start_engine);

// Ticks, then waits up to `period` for a stop, until a message arrives or the channel closes.
// The first tick comes before any wait.
void tick_until_stopped(Tick& tick, StopReceiver& stop, std::chrono::nanoseconds period);

// The answer to a control from the manager: STOP and SHUTDOWN send a stop.
std::uint32_t control_handler(std::uint32_t control, StopSender& stop);

// The handler context: what the manager calls back with each control.
class StopOnControl final : public os::ControlHandler {
  public:
    explicit StopOnControl(StopSender stop) : stop_(std::move(stop)) {}
    std::uint32_t control(std::uint32_t code) override { return control_handler(code, stop_); }

  private:
    StopSender stop_;
};

// The two reports a service run makes.
os::ServiceStatusReport running_report();
os::ServiceStatusReport stopped_report();

}  // namespace snv::svc
