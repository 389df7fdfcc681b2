#include "os/clock.h"

#include <ctime>
#include <thread>

namespace snv::os {

namespace {

class PosixClock final : public Clock {
public:
    MonotonicTime monotonic_now() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    }

    LocalTime local_now() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        std::tm tm{};
        localtime_r(&ts.tv_sec, &tm);
        LocalTime t;
        t.year = tm.tm_year + 1900;
        t.month = static_cast<unsigned>(tm.tm_mon + 1);
        t.day = static_cast<unsigned>(tm.tm_mday);
        t.hour = static_cast<unsigned>(tm.tm_hour);
        t.minute = static_cast<unsigned>(tm.tm_min);
        // A leap second reported as :60 is held at :59 so the value stays a valid time.
        t.second = static_cast<unsigned>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
        t.nanosecond = static_cast<std::uint32_t>(ts.tv_nsec);
        return t;
    }

    void sleep_for(std::chrono::nanoseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace

Clock& real_clock() {
    static PosixClock clock;
    return clock;
}

}  // namespace snv::os
