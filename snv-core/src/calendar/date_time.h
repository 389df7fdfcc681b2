#pragma once

#include <compare>

#include "calendar/date.h"
#include "calendar/time_of_day.h"

namespace snv::calendar {

// A local date and time of day, without zone.
struct DateTime {
    Date date;
    TimeOfDay time;

    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

}  // namespace snv::calendar
