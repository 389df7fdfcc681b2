#include "service.h"

#include "os/service_manager.h"
#include "product.h"

namespace snv::svc {

namespace {

constexpr std::uint32_t kNoError = 0;

}  // namespace

ServiceStatus run_dispatcher(os::ServiceDispatcher& dispatcher, StartEngine start_engine) {
    if (auto ok = check_text(kServiceName, "service name"); !ok) return ok;
    auto run = dispatcher.run(kServiceName, [&](std::vector<std::string> args) {
        service_main(std::move(args), dispatcher, start_engine);
    });
    if (!run) return std::unexpected(ServiceError::system_call(run.error()));
    return {};
}

void service_main([[maybe_unused]] std::vector<std::string> args, os::ServiceDispatcher& dispatcher,
                  const StartEngine& start_engine) {
    // The manager's arguments go unused: the data folder comes from the process's command line.
    (void)run_service(dispatcher, start_engine);  // a service has nowhere to report its failure
}

os::ServiceStatusReport running_report() {
    return {os::scm::win32_own_process,
            os::scm::state_running,
            os::scm::accept_stop | os::scm::accept_shutdown,
            0,
            0,
            0,
            0};
}

os::ServiceStatusReport stopped_report() {
    return {os::scm::win32_own_process, os::scm::state_stopped, 0, 0, 0, 0, 0};
}

ServiceStatus run_service(os::ServiceDispatcher& dispatcher, const StartEngine& start_engine) {
    StopChannel channel = StopChannel::make();
    StopReceiver stop = std::move(channel.receiver);
    auto handle = dispatcher.register_handler(
        kServiceName, std::make_unique<StopOnControl>(std::move(channel.sender)));
    if (!handle) return std::unexpected(ServiceError::system_call(handle.error()));
    if (auto ok = dispatcher.set_status(*handle, running_report()); !ok) {
        return std::unexpected(ServiceError::system_call(ok.error()));
    }
    Tick tick = start_engine();
    tick_until_stopped(tick, stop, kTickPeriod);
    auto stopped = dispatcher.set_status(*handle, stopped_report());
    tick = nullptr;  // the engine goes after the stopped report, its queued actions with it
    if (!stopped) return std::unexpected(ServiceError::system_call(stopped.error()));
    return {};
}

void tick_until_stopped(Tick& tick, StopReceiver& stop, std::chrono::nanoseconds period) {
    for (;;) {
        tick();
        if (stop.wait_for(period) != StopWait::timed_out) return;
    }
}

std::uint32_t control_handler(std::uint32_t control, StopSender& stop) {
    switch (control) {
        case os::scm::control_stop:
        case os::scm::control_shutdown:
            stop.send();  // fails only once the run is over, when there is nothing to stop
            return kNoError;
        case os::scm::control_interrogate:
            return kNoError;  // the manager keeps the last status we reported
        default:
            return kCallNotImplemented;
    }
}

}  // namespace snv::svc
