#include "support/fake_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "os/system_error.h"

namespace snv::test {

namespace {

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

os::Status FakeServiceManager::outcome(const std::string& name) {
    if (clock != nullptr && !first_call_) first_call_ = clock->monotonic_now();
    if (auto it = fails.find(name); it != fails.end()) {
        calls.back() += " -> error " + std::to_string(it->second);
        return std::unexpected(os::Error::os(it->second, "failed"));
    }
    return {};
}

os::Result<os::ServiceManager::Handle> FakeServiceManager::open_manager(std::uint32_t access) {
    calls.push_back("open_manager " + hex(access));
    if (auto ok = outcome("open_manager"); !ok) return std::unexpected(ok.error());
    open_handles.push_back(next_);
    return next_++;
}

os::Result<os::ServiceManager::Handle> FakeServiceManager::create_service(
    Handle, const os::ServiceConfig& config, std::uint32_t access) {
    calls.push_back("create " + config.name + " " + config.display_name + " " + hex(access) + " " +
                    hex(config.service_type) + " " + hex(config.start_type) + " " +
                    hex(config.error_control) + " " + config.command_line);
    if (auto ok = outcome("create"); !ok) return std::unexpected(ok.error());
    open_handles.push_back(next_);
    return next_++;
}

os::Result<os::ServiceManager::Handle> FakeServiceManager::open_service(Handle,
                                                                        std::string_view name,
                                                                        std::uint32_t access) {
    calls.push_back("open " + std::string(name) + " " + hex(access));
    if (auto ok = outcome("open"); !ok) return std::unexpected(ok.error());
    open_handles.push_back(next_);
    return next_++;
}

os::Status FakeServiceManager::change_config(Handle, const os::ServiceConfig& config) {
    calls.push_back("change " + config.display_name + " " + hex(config.service_type) + " " +
                    hex(config.start_type) + " " + hex(config.error_control) + " " +
                    config.command_line);
    return outcome("change");
}

os::Status FakeServiceManager::set_description(Handle, std::string_view description) {
    calls.push_back("describe " + std::string(description));
    return outcome("describe");
}

os::Result<std::uint32_t> FakeServiceManager::query_state(Handle) {
    std::string call = "query";
    if (clock != nullptr && first_call_) {
        auto since = clock->monotonic_now() - *first_call_;
        call += " @" + std::to_string(
                           std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    calls.push_back(call);
    if (auto ok = outcome("query"); !ok) return std::unexpected(ok.error());
    std::uint32_t state = states.front();
    if (states.size() > 1) states.pop_front();
    return state;
}

os::Status FakeServiceManager::start(Handle) {
    calls.push_back("start");
    return outcome("start");
}

os::Status FakeServiceManager::control(Handle, std::uint32_t control) {
    calls.push_back("control " + std::to_string(control));
    return outcome("control");
}

os::Status FakeServiceManager::remove(Handle) {
    calls.push_back("remove");
    return outcome("remove");
}

void FakeServiceManager::close(Handle handle) {
    calls.push_back("close " + std::to_string(handle));
    std::erase(open_handles, handle);
}

os::Status FakeServiceDispatcher::run(std::string_view service_name, ServiceMain service_main) {
    dispatched_name = service_name;
    if (run_fails) return std::unexpected(os::Error::os(*run_fails, "failed"));
    // The manager passes the service's name as the first argument.
    std::thread service([&] { service_main({std::string(service_name), "extra"}); });
    service.join();
    return {};
}

os::Result<os::ServiceDispatcher::StatusHandle> FakeServiceDispatcher::register_handler(
    std::string_view service_name, std::unique_ptr<os::ControlHandler> handler) {
    std::lock_guard lock(mutex_);
    registered_name = service_name;
    if (register_fails) return std::unexpected(os::Error::os(*register_fails, "failed"));
    handler_ = std::move(handler);
    changed_.notify_all();
    return 7;
}

os::Status FakeServiceDispatcher::set_status(StatusHandle, const os::ServiceStatusReport& status) {
    std::lock_guard lock(mutex_);
    bool fail = std::ranges::find(report_fails, attempts_) != report_fails.end();
    ++attempts_;
    if (!fail) reports_.push_back(status);
    changed_.notify_all();
    if (fail) return std::unexpected(os::Error::os(31, "failed"));
    return {};
}

std::uint32_t FakeServiceDispatcher::deliver(std::uint32_t control) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return handler_ != nullptr; })) {
        ADD_FAILURE() << "no control handler was registered within 10 s";
        return 1062;
    }
    os::ControlHandler* handler = handler_.get();
    lock.unlock();
    return handler->control(control);
}

std::vector<os::ServiceStatusReport> FakeServiceDispatcher::reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

bool FakeServiceDispatcher::handler_registered() const {
    std::lock_guard lock(mutex_);
    return handler_ != nullptr;
}

}  // namespace snv::test
