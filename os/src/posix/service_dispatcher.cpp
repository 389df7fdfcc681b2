#include "os/service_dispatcher.h"

#include <cerrno>

#include "os/system_error.h"

namespace snv::os {

namespace {

// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT: what Windows answers a process that no service
// manager started, which is every process here.
constexpr std::uint32_t kNotStartedByManager = 1063;

class NoServiceDispatcher final : public ServiceDispatcher {
  public:
    Status run(std::string_view, ServiceMain) override {
        return std::unexpected(Error::os(kNotStartedByManager,
                                         "The service process could not connect to the "
                                         "service controller."));
    }
    Result<StatusHandle> register_handler(std::string_view,
                                          std::unique_ptr<ControlHandler>) override {
        return std::unexpected(system_error(ENOSYS));
    }
    Status set_status(StatusHandle, const ServiceStatusReport&) override {
        return std::unexpected(system_error(ENOSYS));
    }
};

}  // namespace

ServiceDispatcher& real_service_dispatcher() {
    static NoServiceDispatcher dispatcher;
    return dispatcher;
}

}  // namespace snv::os
