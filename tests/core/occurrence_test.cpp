#include "schedule/occurrence.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

#include <algorithm>
#include <string>
#include <vector>

#include "calendar/text.h"
#include "model/trigger.h"

namespace {

using snv::calendar::Date;
using snv::calendar::DateTime;
using snv::calendar::TimeOfDay;
using snv::model::DayOfWeek;
using snv::model::MonthDay;
using snv::model::Nth;
using snv::model::Trigger;
using D = DayOfWeek;

using snv::test::date;

TimeOfDay at(unsigned h, unsigned m) {
    return *TimeOfDay::from_hms(h, m, 0);
}

Trigger once(Date d, TimeOfDay t) {
    return {Trigger::Once{DateTime{d, t}}};
}
Trigger daily(Date start, std::uint32_t every) {
    return {Trigger::Daily{at(9, 0), every, start}};
}
Trigger weekly(Date start, std::uint32_t every, std::vector<DayOfWeek> days) {
    return {Trigger::Weekly{at(9, 0), every, std::move(days), start}};
}
Trigger monthly_day(std::uint32_t day, std::vector<std::uint32_t> months = {}) {
    return {Trigger::Monthly{at(20, 0), std::move(months), MonthDay{MonthDay::Date{day}}}};
}
Trigger monthly_weekday(Nth nth, DayOfWeek wd, std::vector<std::uint32_t> months = {}) {
    return {Trigger::Monthly{at(20, 0), std::move(months), MonthDay{MonthDay::Weekday{nth, wd}}}};
}

struct Case {
    const char* what;
    Trigger trigger;
    Date day;
    bool occurs;
};

TEST(Occurrence, CasesOfTheRules) {
    const Trigger once_0310 = once(date(2025, 3, 10), at(22, 0));
    const Trigger every2 = daily(date(2025, 2, 27), 2);
    const Trigger every0 = daily(date(2025, 2, 27), 0);
    const Trigger wed_start = weekly(date(2025, 3, 12), 2, {D::mon, D::wed, D::fri});
    const Trigger sun_start = weekly(date(2025, 3, 16), 2, {D::mon, D::sun});
    const Trigger day31 = monthly_day(31);
    const std::vector<Case> cases = {
        {"once on its date", once_0310, date(2025, 3, 10), true},
        {"once, time long past", once(date(2025, 3, 10), *TimeOfDay::from_hms(0, 0, 1)),
         date(2025, 3, 10), true},
        {"once, day before", once_0310, date(2025, 3, 9), false},
        {"once, day after", once_0310, date(2025, 3, 11), false},

        {"daily start", every2, date(2025, 2, 27), true},
        {"daily across month end", every2, date(2025, 3, 1), true},
        {"daily +4", every2, date(2025, 3, 3), true},
        {"daily odd day", every2, date(2025, 2, 28), false},
        {"daily odd day 2", every2, date(2025, 3, 2), false},
        {"daily before start", every2, date(2025, 2, 26), false},
        {"daily every 0 start", every0, date(2025, 2, 27), true},
        {"daily every 0 next", every0, date(2025, 2, 28), true},
        {"daily every 0 before", every0, date(2025, 2, 26), false},

        {"weekly wed start", wed_start, date(2025, 3, 12), true},
        {"weekly fri week 0", wed_start, date(2025, 3, 14), true},
        {"weekly thu week 0", wed_start, date(2025, 3, 13), false},
        {"weekly mon before start", wed_start, date(2025, 3, 10), false},
        {"weekly week 1 mon", wed_start, date(2025, 3, 17), false},
        {"weekly week 1 wed", wed_start, date(2025, 3, 19), false},
        {"weekly week 1 fri", wed_start, date(2025, 3, 21), false},
        {"weekly week 2 mon", wed_start, date(2025, 3, 24), true},
        {"weekly week 2 wed", wed_start, date(2025, 3, 26), true},
        {"weekly week 2 fri", wed_start, date(2025, 3, 28), true},
        {"weekly sunday start", sun_start, date(2025, 3, 16), true},
        {"weekly monday after sunday start", sun_start, date(2025, 3, 17), false},
        {"weekly sunday week 1", sun_start, date(2025, 3, 23), false},
        {"weekly monday week 2", sun_start, date(2025, 3, 24), true},
        {"weekly sunday week 2", sun_start, date(2025, 3, 30), true},
        {"weekly no days", weekly(date(2025, 3, 12), 1, {}), date(2025, 3, 12), false},
        {"weekly every 0 week 1", weekly(date(2025, 3, 12), 0, {D::wed}), date(2025, 3, 19), true},
        {"weekly repeats", weekly(date(2025, 3, 12), 1, {D::wed, D::wed}), date(2025, 3, 19), true},

        {"day 31 in February", day31, date(2025, 2, 28), true},
        {"day 31 not Feb 27", day31, date(2025, 2, 27), false},
        {"day 31 in April", day31, date(2025, 4, 30), true},
        {"day 31 in March", day31, date(2025, 3, 31), true},
        {"day 31 not Mar 30", day31, date(2025, 3, 30), false},
        {"day 31 leap February", day31, date(2024, 2, 29), true},
        {"day 31 leap Feb 28", day31, date(2024, 2, 28), false},
        {"day 40 is the last", monthly_day(40), date(2025, 6, 30), true},
        {"day 0 is the 1st", monthly_day(0), date(2025, 3, 1), true},
        {"day 0 not the 2nd", monthly_day(0), date(2025, 3, 2), false},
        {"months 2, 8: Feb", monthly_day(10, {2, 8}), date(2025, 2, 10), true},
        {"months 2, 8: Aug", monthly_day(10, {2, 8}), date(2025, 8, 10), true},
        {"months 2, 8: Mar", monthly_day(10, {2, 8}), date(2025, 3, 10), false},
        {"months 0, 13: Jan", monthly_day(10, {0, 13}), date(2025, 1, 10), false},
        {"months 0, 13: Dec", monthly_day(10, {0, 13}), date(2025, 12, 10), false},
        {"months empty", monthly_day(10), date(2025, 11, 10), true},

        {"last Fri Feb", monthly_weekday(Nth::last, D::fri), date(2025, 2, 28), true},
        {"last Fri Feb not 21", monthly_weekday(Nth::last, D::fri), date(2025, 2, 21), false},
        {"fourth Mon Feb", monthly_weekday(Nth::fourth, D::mon), date(2025, 2, 24), true},
        {"last Mon Feb", monthly_weekday(Nth::last, D::mon), date(2025, 2, 24), true},
        {"fourth Mon Mar", monthly_weekday(Nth::fourth, D::mon), date(2025, 3, 24), true},
        {"fourth Mon Mar not 31", monthly_weekday(Nth::fourth, D::mon), date(2025, 3, 31), false},
        {"last Mon Mar", monthly_weekday(Nth::last, D::mon), date(2025, 3, 31), true},
        {"last Mon Mar not 24", monthly_weekday(Nth::last, D::mon), date(2025, 3, 24), false},
        {"first Mon Mar", monthly_weekday(Nth::first, D::mon), date(2025, 3, 3), true},
        {"first Mon Mar not 10", monthly_weekday(Nth::first, D::mon), date(2025, 3, 10), false},
        {"first Mon: a Tuesday", monthly_weekday(Nth::first, D::mon), date(2025, 3, 4), false},

        {"idle", Trigger{Trigger::Idle{0}}, date(1999, 12, 31), true},
        {"cpu", Trigger{Trigger::Cpu{250, 0, true}}, date(2030, 6, 1), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.trigger.occurs_on(c.day), c.occurs)
            << c.what << " on " << snv::calendar::format_date(c.day);
    }
}

TEST(Occurrence, WeekStartAndLastDayOfMonth) {
    using snv::schedule::last_day_of_month;
    using snv::schedule::week_start;
    EXPECT_EQ(week_start(date(2025, 3, 10)), date(2025, 3, 10));  // a Monday
    EXPECT_EQ(week_start(date(2025, 3, 16)), date(2025, 3, 10));  // a Sunday
    EXPECT_EQ(week_start(date(2025, 3, 1)), date(2025, 2, 24));   // across the month
    EXPECT_EQ(week_start(date(2027, 1, 1)), date(2026, 12, 28));  // across the year
    EXPECT_EQ(last_day_of_month(date(2025, 2, 10)), 28u);
    EXPECT_EQ(last_day_of_month(date(2024, 2, 1)), 29u);
    EXPECT_EQ(last_day_of_month(date(2100, 2, 1)), 28u);
    EXPECT_EQ(last_day_of_month(date(2000, 2, 29)), 29u);
    EXPECT_EQ(last_day_of_month(date(2025, 4, 30)), 30u);
    EXPECT_EQ(last_day_of_month(date(2025, 12, 31)), 31u);
    EXPECT_EQ(last_day_of_month(Date::max()), 31u);
    // The very first days of the range may have no Monday before them; nothing fails there.
    EXPECT_LE(week_start(Date::min()), Date::min());
    const bool monday = Date::min().weekday() == snv::calendar::Weekday::monday;
    EXPECT_EQ(weekly(Date::min(), 1, {D::mon}).occurs_on(Date::min()), monday);
}

// ---- The rules again, the slow and obvious way, walking from the start date ----

Date next_day(Date d) {
    return *d.add_days(1);
}

std::uint32_t at_least_one(std::uint32_t every) {
    return every == 0 ? 1 : every;
}

// Every date of [first, last] on which the trigger occurs, by walking day by day.
std::vector<bool> walk_daily(const Trigger::Daily& t, Date first, Date last) {
    std::vector<bool> out;
    std::optional<Date> next = t.start;
    for (Date d = first; d <= last; d = next_day(d)) {
        while (next && *next < d) next = next->add_days(at_least_one(t.every));
        out.push_back(next && *next == d);
    }
    return out;
}

std::vector<bool> walk_weekly(const Trigger::Weekly& t, Date first, Date last) {
    std::vector<bool> out;
    // Week number of each date from the start on: it goes up at every Monday after the start.
    std::uint64_t week = 0;
    Date cursor = t.start;
    for (Date d = first; d <= last; d = next_day(d)) {
        if (d < t.start) {
            out.push_back(false);
            continue;
        }
        while (cursor < d) {
            cursor = next_day(cursor);
            if (cursor.weekday() == snv::calendar::Weekday::monday) ++week;
        }
        const auto wd = static_cast<DayOfWeek>(d.weekday());
        const bool listed = std::count(t.days.begin(), t.days.end(), wd) > 0;
        out.push_back(week % at_least_one(t.every) == 0 && listed);
    }
    return out;
}

bool monthly_reference(const Trigger::Monthly& t, Date d) {
    if (!t.months.empty() &&
        std::count(t.months.begin(), t.months.end(), std::uint32_t{d.month()}) == 0) {
        return false;
    }
    // The month's last day: walk forward until the month changes.
    Date end = d;
    while (end < Date::max() && next_day(end).month() == d.month()) end = next_day(end);
    const unsigned last = end.day();
    if (const auto* on = std::get_if<MonthDay::Date>(&t.on.value)) {
        const std::uint32_t want = on->day == 0 ? 1 : (on->day > last ? last : on->day);
        return d.day() == want;
    }
    const auto& on = std::get<MonthDay::Weekday>(t.on.value);
    if (static_cast<DayOfWeek>(d.weekday()) != on.weekday) return false;
    // How many such weekdays come before this one in the month, and is there one after it?
    int before = 0;
    for (Date back = d; back.day() > 7; back = *back.add_days(-7)) ++before;
    const bool another_after = d.day() + 7 <= last;
    if (on.nth == Nth::last) return !another_after;
    return before == static_cast<int>(on.nth);
}

struct Range {
    Date first = date(2024, 1, 1);
    Date last = date(2030, 12, 31);
};

void expect_same(const Trigger& trigger, const std::vector<bool>& reference, const Range& range,
                 const std::string& what) {
    std::size_t i = 0;
    int mismatches = 0;
    for (Date d = range.first; d <= range.last; d = next_day(d), ++i) {
        if (trigger.occurs_on(d) != reference[i] && ++mismatches <= 3) {
            ADD_FAILURE() << what << " on " << snv::calendar::format_date(d) << ": expected "
                          << reference[i];
        }
    }
}

const std::vector<Date> kStarts = {date(2024, 1, 1),   date(2024, 2, 29),  date(2025, 3, 16),
                                   date(2027, 12, 31), date(2030, 12, 31), date(2020, 6, 3)};

TEST(Occurrence, DailyAgreesWithAWalkOverEveryDateOf2024To2030) {
    const Range range;
    for (const Date start : kStarts) {
        for (std::uint32_t every = 0; every <= 5; ++every) {
            const Trigger::Daily t{at(9, 0), every, start};
            expect_same(Trigger{t}, walk_daily(t, range.first, range.last), range,
                        "daily from " + snv::calendar::format_date(start) + " every " +
                            std::to_string(every));
        }
    }
}

TEST(Occurrence, WeeklyAgreesWithAWalkOverEveryDateOf2024To2030) {
    const Range range;
    const std::vector<std::vector<DayOfWeek>> day_sets = {
        {D::mon},
        {D::sun},
        {D::sat, D::sun},
        {D::fri, D::mon, D::wed, D::mon},
        {D::mon, D::tue, D::wed, D::thu, D::fri, D::sat, D::sun},
        {}};
    for (const Date start : kStarts) {
        for (std::uint32_t every = 0; every <= 5; ++every) {
            for (const auto& days : day_sets) {
                const Trigger::Weekly t{at(9, 0), every, days, start};
                expect_same(Trigger{t}, walk_weekly(t, range.first, range.last), range,
                            "weekly from " + snv::calendar::format_date(start) + " every " +
                                std::to_string(every) + " on " + std::to_string(days.size()) +
                                " days");
            }
        }
    }
}

TEST(Occurrence, MonthlyAgreesWithACountOverEveryDateOf2024To2030) {
    const Range range;
    std::vector<MonthDay> ons;
    for (const std::uint32_t day : {0u, 1u, 15u, 28u, 29u, 30u, 31u, 40u}) {
        ons.push_back(MonthDay{MonthDay::Date{day}});
    }
    for (int n = 0; n <= 4; ++n) {
        for (int wd = 0; wd <= 6; ++wd) {
            ons.push_back(MonthDay{MonthDay::Weekday{static_cast<Nth>(n), static_cast<D>(wd)}});
        }
    }
    const std::vector<std::vector<std::uint32_t>> month_lists = {{}, {2}, {12, 1, 1}, {0, 13}};
    for (const auto& on : ons) {
        for (const auto& months : month_lists) {
            const Trigger::Monthly t{at(20, 0), months, on};
            std::vector<bool> reference;
            for (Date d = range.first; d <= range.last; d = next_day(d)) {
                reference.push_back(monthly_reference(t, d));
            }
            expect_same(Trigger{t}, reference, range,
                        "monthly kind " + std::to_string(on.value.index()) + " with " +
                            std::to_string(months.size()) + " months");
        }
    }
}

}  // namespace
