#pragma once

#include <cstdint>
#include <optional>

#include "calendar/date_time.h"
#include "os/clock.h"

namespace snv::engine {

// The local wall-clock reading as a date-time with its nanoseconds; none when the reading
// names no real date or time.
std::optional<calendar::DateTime> local_date_time(const os::LocalTime& now);

// Whole seconds from `since` to `now` on the monotonic clock; 0 when `now` reads earlier.
std::uint64_t whole_seconds_between(os::MonotonicTime since, os::MonotonicTime now);

// Whole milliseconds from `since` to `now` (truncated toward zero), limited to 0..`limit_ms`.
std::int64_t clamped_millis_between(const calendar::DateTime& since, const calendar::DateTime& now,
                                    std::int64_t limit_ms);

}  // namespace snv::engine
