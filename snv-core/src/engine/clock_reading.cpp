#include "engine/clock_reading.h"

#include <algorithm>
#include <chrono>

namespace snv::engine {

std::optional<calendar::DateTime> local_date_time(const os::LocalTime& now) {
    const auto date = calendar::Date::from_civil(now.year, now.month, now.day);
    const auto time =
        calendar::TimeOfDay::from_hms(now.hour, now.minute, now.second, now.nanosecond);
    if (!date || !time) return std::nullopt;
    return calendar::DateTime{*date, *time};
}

std::uint64_t whole_seconds_between(os::MonotonicTime since, os::MonotonicTime now) {
    if (now <= since) return 0;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(now - since).count());
}

std::int64_t clamped_millis_between(const calendar::DateTime& since, const calendar::DateTime& now,
                                    std::int64_t limit_ms) {
    constexpr std::int64_t kNanosPerDay = 86'400'000'000'000;
    const std::int64_t days = now.date.days() - since.date.days();
    // Beyond a day apart the limit decides alone; within it the nanoseconds fit in 64 bits.
    if (days > 1) return limit_ms;
    if (days < -1) return 0;
    const auto nanos_of = [](const calendar::TimeOfDay& t) {
        return std::int64_t{t.seconds()} * 1'000'000'000 + t.nanos();
    };
    const std::int64_t nanos = days * kNanosPerDay + nanos_of(now.time) - nanos_of(since.time);
    return std::clamp<std::int64_t>(nanos / 1'000'000, 0, limit_ms);
}

}  // namespace snv::engine
