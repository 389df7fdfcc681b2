#include "calendar/time_of_day.h"

namespace snv::calendar {

std::optional<TimeOfDay> TimeOfDay::from_seconds(std::uint32_t seconds, std::uint32_t nanos) {
    if (seconds >= 86400 || nanos >= 2 * nanos_per_second) return std::nullopt;
    if (nanos >= nanos_per_second && seconds % 60 != 59) return std::nullopt;
    return TimeOfDay(seconds, nanos);
}

}  // namespace snv::calendar
