#pragma once

#include <cstdint>

#include "calendar/time_of_day.h"

namespace snv::schedule {

// The moment a timed task's countdown starts: its time of day, fraction dropped, less the
// countdown, and never before midnight of the same day.
calendar::TimeOfDay notify_time(calendar::TimeOfDay time, std::uint32_t countdown_seconds);

}  // namespace snv::schedule
