#pragma once

#include <chrono>
#include <cstdint>

namespace snv::os {

// A reading of the monotonic clock: time since an arbitrary origin, never going backwards.
using MonotonicTime = std::chrono::nanoseconds;

// The local wall-clock time under the system's time-zone rules, without zone.
struct LocalTime {
    std::int32_t year = 1970;
    unsigned month = 1;   // 1..12
    unsigned day = 1;     // 1..31
    unsigned hour = 0;    // 0..23
    unsigned minute = 0;  // 0..59
    unsigned second = 0;  // 0..59
    std::uint32_t nanosecond = 0;

    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual MonotonicTime monotonic_now() = 0;
    virtual LocalTime local_now() = 0;
    // Blocks the calling thread for about `duration`.
    virtual void sleep_for(std::chrono::nanoseconds duration) = 0;
};

// The process's real clocks (the performance counter and the local time on Windows).
Clock& real_clock();

}  // namespace snv::os
