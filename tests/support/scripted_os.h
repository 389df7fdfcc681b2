#pragma once

#include <chrono>
#include <deque>
#include <optional>

#include "os/clock.h"
#include "os/cpu_times.h"

namespace snv::test {

// A clock that only moves when the test says so.
class ScriptedClock final : public os::Clock {
  public:
    os::MonotonicTime monotonic = std::chrono::hours(1000);
    os::LocalTime local;

    void advance(std::chrono::nanoseconds by) { monotonic += by; }

    os::MonotonicTime monotonic_now() override { return monotonic; }
    os::LocalTime local_now() override { return local; }
    void sleep_for(std::chrono::nanoseconds duration) override { monotonic += duration; }
};

// Processor times handed out in the order given; none once the script has run out.
class ScriptedProcessorTimes final : public os::ProcessorTimes {
  public:
    std::deque<std::optional<os::CpuTimes>> script;
    int reads = 0;

    std::optional<os::CpuTimes> read() override {
        ++reads;
        if (script.empty()) return std::nullopt;
        auto next = script.front();
        script.pop_front();
        return next;
    }
};

}  // namespace snv::test
