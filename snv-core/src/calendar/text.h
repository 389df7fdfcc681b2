#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"

namespace snv::calendar {

// The text forms of the data files. Reading is lenient as the desktop program writes and
// reads them: Unicode white space before each number, before each separator and at the end;
// one to four year digits, or a sign and any number of digits; one or two digits elsewhere.
// None for anything else, or for a date or time that does not exist.
std::optional<Date> parse_date(std::string_view text);              // "2026-3-14"
std::optional<TimeOfDay> parse_time_of_day(std::string_view text);  // "7:05", "07:05:09.5"
std::optional<DateTime> parse_date_time(std::string_view text);     // seconds required

// Written forms: "2026-03-14", "+10000-01-01", "-0001-12-31"; "07:05:09", "07:05:09.500",
// "07:05:09.000001", "23:59:60.5" (leap second); "2026-03-14T07:05:09".
std::string format_date(Date date);
std::string format_time_of_day(TimeOfDay time);
std::string format_date_time(DateTime date_time);
// "%H:%M:%S": never a fraction; a leap second shows as 60.
std::string format_hms(TimeOfDay time);

}  // namespace snv::calendar
