#include "schedule/occurrence.h"

#include <algorithm>
#include <cstdint>
#include <variant>

#include "model/trigger.h"

namespace snv::schedule {

namespace {

using calendar::Date;
using model::Trigger;

std::int64_t weekday_number(Date date) {
    return static_cast<std::int64_t>(date.weekday());
}

// Day count of the Monday of the date's week, also where that Monday lies outside the range.
std::int64_t week_start_days(Date date) {
    return date.days() - weekday_number(date);
}

// An interval of 0 counts as 1.
std::int64_t interval(std::uint32_t every) {
    return every == 0 ? 1 : every;
}

bool occurs(const Trigger::Once& t, Date d) {
    return t.at.date == d;
}

bool occurs(const Trigger::Daily& t, Date d) {
    const std::int64_t n = d.days() - t.start.days();
    return n >= 0 && n % interval(t.every) == 0;
}

bool occurs(const Trigger::Weekly& t, Date d) {
    if (d < t.start) return false;
    const std::int64_t weeks = (week_start_days(d) - week_start_days(t.start)) / 7;
    if (weeks % interval(t.every) != 0) return false;
    const auto wd = static_cast<model::DayOfWeek>(d.weekday());
    return std::find(t.days.begin(), t.days.end(), wd) != t.days.end();
}

bool occurs(const Trigger::Monthly& t, Date d) {
    const calendar::CivilDate c = d.civil();
    if (!t.months.empty() &&
        std::find(t.months.begin(), t.months.end(), c.month) == t.months.end()) {
        return false;
    }
    const unsigned last = calendar::days_in_month(c.year, c.month);
    if (const auto* on = std::get_if<model::MonthDay::Date>(&t.on.value)) {
        const std::uint32_t target = std::clamp<std::uint32_t>(on->day, 1, last);
        return c.day == target;
    }
    const auto& on = std::get<model::MonthDay::Weekday>(t.on.value);
    if (weekday_number(d) != static_cast<std::int64_t>(on.weekday)) return false;
    if (on.nth == model::Nth::last) return c.day + 7 > last;
    return (c.day - 1) / 7 == static_cast<unsigned>(on.nth);
}

// Idle and CPU watches belong to every day's plan.
bool occurs(const Trigger::Idle&, Date) {
    return true;
}
bool occurs(const Trigger::Cpu&, Date) {
    return true;
}

}  // namespace

Date week_start(Date date) {
    return Date::from_days(week_start_days(date)).value_or(Date::min());
}

unsigned last_day_of_month(Date date) {
    const calendar::CivilDate c = date.civil();
    return calendar::days_in_month(c.year, c.month);
}

}  // namespace snv::schedule

namespace snv::model {

bool Trigger::occurs_on(const calendar::Date& date) const {
    return std::visit([&](const auto& variant) { return schedule::occurs(variant, date); }, value);
}

}  // namespace snv::model
