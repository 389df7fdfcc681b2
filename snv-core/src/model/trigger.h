#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"

namespace snv::model {

// A day of the week, Monday first; the numbers are the stored values.
enum class DayOfWeek : std::uint8_t { mon = 0, tue = 1, wed = 2, thu = 3, fri = 4, sat = 5, sun = 6 };

// Which such weekday of the month a monthly trigger means.
enum class Nth : std::uint8_t { first = 0, second = 1, third = 2, fourth = 3, last = 4 };

std::string_view day_of_week_name(DayOfWeek day);  // "mon" .. "sun"
std::string_view nth_name(Nth nth);                // "first" .. "last"
std::optional<DayOfWeek> parse_day_of_week_name(std::string_view name);
std::optional<Nth> parse_nth_name(std::string_view name);

// The variants of MonthDay and Trigger stand outside their records so that they are complete
// (with their defaults) where the variant needs them; use them as MonthDay::Date and so on.
namespace month_day {

struct Date {
    std::uint32_t day = 1;  // no range is checked: day 0 or 40 is kept as read
    bool operator==(const Date&) const = default;
};

struct Weekday {
    Nth nth = Nth::first;
    DayOfWeek weekday = DayOfWeek::mon;
    bool operator==(const Weekday&) const = default;
};

}  // namespace month_day

// The day of a monthly trigger.
struct MonthDay {
    using Date = month_day::Date;
    using Weekday = month_day::Weekday;

    // Index 0 is "date", 1 is "weekday".
    std::variant<Date, Weekday> value;

    bool operator==(const MonthDay&) const = default;
};

std::string_view month_day_kind_name(const MonthDay& on);  // "date" or "weekday"
std::optional<std::size_t> parse_month_day_kind_name(std::string_view name);

namespace trigger {

struct Once {
    calendar::DateTime at;
    bool operator==(const Once&) const = default;
};

struct Daily {
    calendar::TimeOfDay time;
    std::uint32_t every = 1;
    calendar::Date start;
    bool operator==(const Daily&) const = default;
};

struct Weekly {
    calendar::TimeOfDay time;
    std::uint32_t every = 1;
    std::vector<DayOfWeek> days;  // in the order read, repeats kept
    calendar::Date start;
    bool operator==(const Weekly&) const = default;
};

struct Monthly {
    calendar::TimeOfDay time;
    std::vector<std::uint32_t> months;  // January = 1; empty means every month
    MonthDay on;
    bool operator==(const Monthly&) const = default;
};

struct Idle {
    std::uint32_t minutes = 0;
    bool operator==(const Idle&) const = default;
};

struct Cpu {
    std::uint32_t percent = 0;
    std::uint32_t minutes = 0;
    bool below = false;  // true: the load must stay below `percent`
    bool operator==(const Cpu&) const = default;
};

}  // namespace trigger

// When a task fires. Values outside sensible ranges (every 0, percent 250, month 13) are kept
// as read and written back unchanged; the planner decides what they mean.
struct Trigger {
    using Once = trigger::Once;
    using Daily = trigger::Daily;
    using Weekly = trigger::Weekly;
    using Monthly = trigger::Monthly;
    using Idle = trigger::Idle;
    using Cpu = trigger::Cpu;

    // The index is the variant number: once, daily, weekly, monthly, idle, cpu.
    std::variant<Once, Daily, Weekly, Monthly, Idle, Cpu> value;

    bool operator==(const Trigger&) const = default;
};

// The JSON "type" name of the trigger's variant.
std::string_view trigger_type_name(const Trigger& trigger);

// Exact, case-sensitive match of a "type" name; gives the variant number 0 to 5.
std::optional<std::size_t> parse_trigger_type(std::string_view name);

}  // namespace snv::model
