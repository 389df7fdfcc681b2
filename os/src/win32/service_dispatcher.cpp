#include "os/service_dispatcher.h"

#include <windows.h>

#include <mutex>

#include "os/path.h"
#include "os/system_error.h"

namespace snv::os {

namespace {

// ServiceMain gets no context from the manager: the one dispatcher call of the process leaves
// its callable here for the entry point to find.
ServiceDispatcher::ServiceMain* running_service_main = nullptr;

void WINAPI service_main_entry(DWORD argc, LPWSTR* argv) {
    std::vector<std::string> args;
    for (DWORD i = 0; i < argc; ++i) args.push_back(to_utf8(argv[i]));
    if (running_service_main != nullptr) (*running_service_main)(std::move(args));
}

DWORD WINAPI handler_entry(DWORD control, DWORD, LPVOID, LPVOID context) {
    return static_cast<ControlHandler*>(context)->control(control);
}

class Win32ServiceDispatcher final : public ServiceDispatcher {
  public:
    Status run(std::string_view service_name, ServiceMain service_main) override {
        // Both the name and the callable must live until the dispatcher returns.
        std::wstring name = to_native(service_name);
        running_service_main = &service_main;
        SERVICE_TABLE_ENTRYW table[] = {{name.data(), service_main_entry}, {nullptr, nullptr}};
        BOOL ok = StartServiceCtrlDispatcherW(table);
        Error error = ok ? Error{} : last_system_error();
        running_service_main = nullptr;
        if (!ok) return std::unexpected(error);
        return {};
    }

    Result<StatusHandle> register_handler(std::string_view service_name,
                                          std::unique_ptr<ControlHandler> handler) override {
        std::wstring name = to_native(service_name);
        SERVICE_STATUS_HANDLE h =
            RegisterServiceCtrlHandlerExW(name.c_str(), handler_entry, handler.get());
        if (h == nullptr) return std::unexpected(last_system_error());
        std::lock_guard lock(mutex_);
        kept_.push_back(std::move(handler));
        return reinterpret_cast<StatusHandle>(h);
    }

    Status set_status(StatusHandle handle, const ServiceStatusReport& report) override {
        SERVICE_STATUS status{report.service_type,
                              report.current_state,
                              report.controls_accepted,
                              report.win32_exit_code,
                              report.service_specific_exit_code,
                              report.check_point,
                              report.wait_hint};
        if (!SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(handle), &status)) {
            return std::unexpected(last_system_error());
        }
        return {};
    }

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<ControlHandler>> kept_;
};

}  // namespace

ServiceDispatcher& real_service_dispatcher() {
    // Never destroyed: the manager may call a kept handler until the process is gone.
    static Win32ServiceDispatcher* dispatcher = new Win32ServiceDispatcher;
    return *dispatcher;
}

}  // namespace snv::os
