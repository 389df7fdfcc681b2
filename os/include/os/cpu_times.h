#pragma once

#include <cstdint>
#include <optional>

namespace snv::os {

// One reading of the system's processor times, in 100 ns units, as GetSystemTimes gives them:
// `kernel` includes `idle`.
struct CpuTimes {
    std::uint64_t idle = 0;
    std::uint64_t kernel = 0;
    std::uint64_t user = 0;

    friend bool operator==(const CpuTimes&, const CpuTimes&) = default;
};

class ProcessorTimes {
  public:
    virtual ~ProcessorTimes() = default;
    // None when the system cannot report them.
    virtual std::optional<CpuTimes> read() = 0;
};

// GetSystemTimes on Windows; /proc/stat natively.
ProcessorTimes& real_processor_times();

}  // namespace snv::os
