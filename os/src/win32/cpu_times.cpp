#include <windows.h>

#include "os/cpu_times.h"

namespace snv::os {

namespace {

std::uint64_t count_of(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

class SystemTimes final : public ProcessorTimes {
  public:
    std::optional<CpuTimes> read() override {
        FILETIME idle{}, kernel{}, user{};
        if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
        return CpuTimes{count_of(idle), count_of(kernel), count_of(user)};
    }
};

}  // namespace

ProcessorTimes& real_processor_times() {
    static SystemTimes times;
    return times;
}

}  // namespace snv::os
