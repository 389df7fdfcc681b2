#pragma once

#include "calendar/date.h"

namespace snv::schedule {

// The Monday of the week that holds `date` (the date itself when it is a Monday). In the first
// days of the calendar's range, where that Monday cannot be held, the range's first date.
calendar::Date week_start(calendar::Date date);

// The number of the last day of the month that holds `date`: 28 to 31.
unsigned last_day_of_month(calendar::Date date);

}  // namespace snv::schedule
