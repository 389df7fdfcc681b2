#pragma once

#include <cstddef>

#include "json/reader.h"
#include "json/reject.h"
#include "model/trigger.h"

namespace snv::model {

// A task's "trigger" value: an object whose "type" may stand anywhere (the other members are
// taken whole and read once the tag is known), or the positional array with the tag first.
json::Read<Trigger> read_trigger(json::Reader& in);

// A monthly trigger's "on" value, tagged by "kind".
json::Read<MonthDay> read_month_day(json::Reader& in);

// A "kind" value: "date" or "weekday", or the integer 0 or 1.
json::Read<std::size_t> parse_month_day_kind(json::Reader& in);

// A day or week-of-month value: the name, or a one-member object {"name": null} or
// {"name": {}}.
json::Read<DayOfWeek> parse_day_of_week(json::Reader& in);
json::Read<Nth> parse_nth(json::Reader& in);

// Lets the list readers of the json layer read a "days" array.
json::Checked read_value(json::Reader& in, DayOfWeek& out);

}  // namespace snv::model
