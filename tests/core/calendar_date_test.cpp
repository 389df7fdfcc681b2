#include <gtest/gtest.h>

#include "calendar/date.h"

namespace snv::calendar {
namespace {

TEST(CalendarDate, KnownDaysAndWeekdays) {
    struct Case {
        std::int32_t year;
        unsigned month, day;
        std::int64_t days;
        Weekday weekday;
    };
    const Case cases[] = {
        {1970, 1, 1, 0, Weekday::thursday},      {1969, 12, 31, -1, Weekday::wednesday},
        {2000, 3, 1, 11017, Weekday::wednesday}, {2026, 12, 10, 20797, Weekday::thursday},
        {1, 1, 1, -719162, Weekday::monday},     {0, 1, 1, -719528, Weekday::saturday},
        {0, 2, 29, -719469, Weekday::tuesday},   {-1, 12, 31, -719529, Weekday::friday},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
        auto d = Date::from_civil(c.year, c.month, c.day);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->days(), c.days);
        EXPECT_EQ(d->weekday(), c.weekday);
        EXPECT_EQ(d->civil(), (CivilDate{c.year, c.month, c.day}));
    }
}

TEST(CalendarDate, RangeEnds) {
    EXPECT_EQ(Date::min().civil(), (CivilDate{min_year, 1, 1}));
    EXPECT_EQ(Date::max().civil(), (CivilDate{max_year, 12, 31}));
    EXPECT_FALSE(Date::min().add_days(-1));
    EXPECT_FALSE(Date::max().add_days(1));
    EXPECT_FALSE(Date::from_civil(min_year - 1, 12, 31));
    EXPECT_FALSE(Date::from_civil(max_year + 1, 1, 1));
    EXPECT_FALSE(Date::from_days(Date::max().days() + 1));
    EXPECT_FALSE(Date().add_days(INT64_MAX));
    EXPECT_FALSE(Date().add_days(INT64_MIN));
    EXPECT_EQ(Date::min().add_days(Date::max().days() - Date::min().days()), Date::max());
}

// Walks day by day across stretches where the arithmetic is most likely to slip: the ends
// of the range, year 0 and the 400-year cycle around 2000.
TEST(CalendarDate, ConsecutiveDaysFollowTheCalendar) {
    const std::int64_t starts[] = {Date::min().days(), -719528 - 800, 10957 - 800,
                                   Date::max().days() - 1600};
    for (const std::int64_t start : starts) {
        CivilDate prev = Date::from_days(start)->civil();
        for (std::int64_t d = start + 1; d < start + 1600; ++d) {
            const auto date = Date::from_days(d);
            ASSERT_TRUE(date);
            const CivilDate c = date->civil();
            CivilDate expected = prev;
            if (++expected.day > days_in_month(prev.year, prev.month)) {
                expected.day = 1;
                if (++expected.month > 12) {
                    expected.month = 1;
                    ++expected.year;
                }
            }
            ASSERT_EQ(c, expected) << "day " << d;
            ASSERT_EQ(Date::from_civil(c.year, c.month, c.day)->days(), d);
            ASSERT_EQ(static_cast<int>(date->weekday()),
                      (static_cast<int>(Date::from_days(d - 1)->weekday()) + 1) % 7);
            prev = c;
        }
    }
}

TEST(CalendarDate, SampledRoundTripOverTheWholeRange) {
    for (std::int64_t d = Date::min().days(); d <= Date::max().days(); d += 9973) {
        const CivilDate c = Date::from_days(d)->civil();
        ASSERT_EQ(Date::from_civil(c.year, c.month, c.day)->days(), d);
    }
}

TEST(CalendarDate, LeapYearsAndMonthLengths) {
    EXPECT_TRUE(is_leap_year(2000));
    EXPECT_TRUE(is_leap_year(2024));
    EXPECT_TRUE(is_leap_year(0));
    EXPECT_TRUE(is_leap_year(-4));
    EXPECT_TRUE(is_leap_year(-400));
    EXPECT_FALSE(is_leap_year(1900));
    EXPECT_FALSE(is_leap_year(2026));
    EXPECT_FALSE(is_leap_year(-100));
    EXPECT_FALSE(is_leap_year(-1));
    const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (unsigned m = 1; m <= 12; ++m) EXPECT_EQ(days_in_month(2026, m), lengths[m - 1]);
    EXPECT_EQ(days_in_month(2024, 2), 29u);
    EXPECT_EQ(days_in_month(2026, 0), 0u);
    EXPECT_EQ(days_in_month(2026, 13), 0u);
    EXPECT_TRUE(Date::from_civil(2024, 2, 29));
    EXPECT_FALSE(Date::from_civil(2026, 2, 29));
    EXPECT_FALSE(Date::from_civil(2026, 4, 31));
    EXPECT_FALSE(Date::from_civil(2026, 1, 0));
    EXPECT_FALSE(Date::from_civil(2026, 0, 1));
    EXPECT_FALSE(Date::from_civil(2026, 13, 1));
}

}  // namespace
}  // namespace snv::calendar
