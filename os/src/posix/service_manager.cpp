#include "os/service_manager.h"

#include <cerrno>

#include "os/system_error.h"

namespace snv::os {

namespace {

// Linux has no service manager to register with: every open fails, so nothing else is reached.
class NoServiceManager final : public ServiceManager {
  public:
    Result<Handle> open_manager(std::uint32_t) override { return refused(); }
    Result<Handle> create_service(Handle, const ServiceConfig&, std::uint32_t) override {
        return refused();
    }
    Result<Handle> open_service(Handle, std::string_view, std::uint32_t) override {
        return refused();
    }
    Status change_config(Handle, const ServiceConfig&) override { return refused(); }
    Status set_description(Handle, std::string_view) override { return refused(); }
    Result<std::uint32_t> query_state(Handle) override { return refused(); }
    Status start(Handle) override { return refused(); }
    Status control(Handle, std::uint32_t) override { return refused(); }
    Status remove(Handle) override { return refused(); }
    void close(Handle) override {}

  private:
    static std::unexpected<Error> refused() { return std::unexpected(system_error(ENOSYS)); }
};

}  // namespace

ServiceManager& real_service_manager() {
    static NoServiceManager manager;
    return manager;
}

}  // namespace snv::os
