#include <gtest/gtest.h>

#include "calendar/date_time.h"
#include "calendar/time_of_day.h"

namespace snv::calendar {
namespace {

TEST(CalendarTime, FieldsAndLeapSecond) {
    const auto t = TimeOfDay::from_hms(23, 59, 60, 250'000'000);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->seconds(), 86399u);
    EXPECT_EQ(t->nanos(), 1'250'000'000u);
    EXPECT_TRUE(t->is_leap_second());
    EXPECT_EQ(t->second(), 59u);
    const auto u = TimeOfDay::from_hms(7, 5, 9, 1);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->hour(), 7u);
    EXPECT_EQ(u->minute(), 5u);
    EXPECT_EQ(u->second(), 9u);
    EXPECT_FALSE(u->is_leap_second());
    EXPECT_LT(*u, *t);
    EXPECT_LT(*TimeOfDay::from_hms(12, 0, 59, 999'999'999), *TimeOfDay::from_hms(12, 0, 60));
}

TEST(CalendarTime, OutOfRangeIsRefused) {
    EXPECT_FALSE(TimeOfDay::from_hms(24, 0, 0));
    EXPECT_FALSE(TimeOfDay::from_hms(0, 60, 0));
    EXPECT_FALSE(TimeOfDay::from_hms(0, 0, 61));
    EXPECT_FALSE(TimeOfDay::from_hms(0, 0, 0, 1'000'000'000));
    EXPECT_FALSE(TimeOfDay::from_seconds(86400));
    EXPECT_FALSE(TimeOfDay::from_seconds(0, 1'000'000'000));  // a leap fraction off second 59
    EXPECT_TRUE(TimeOfDay::from_seconds(59, 1'999'999'999));
    EXPECT_FALSE(TimeOfDay::from_seconds(59, 2'000'000'000));
}

TEST(CalendarTime, DateTimeOrdersByDateThenTime) {
    const DateTime a{*Date::from_civil(2026, 1, 1), *TimeOfDay::from_hms(23, 0, 0)};
    const DateTime b{*Date::from_civil(2026, 1, 2), *TimeOfDay::from_hms(1, 0, 0)};
    EXPECT_LT(a, b);
    EXPECT_EQ(a, a);
}

}  // namespace
}  // namespace snv::calendar
