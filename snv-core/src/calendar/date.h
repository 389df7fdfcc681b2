#pragma once

#include <compare>
#include <cstdint>
#include <optional>

namespace snv::calendar {

// Dates of the proleptic Gregorian calendar, without zone. The range is wider than what
// std::chrono::year holds, so a date is a plain day count with its own civil conversions.
inline constexpr std::int32_t min_year = -262143;
inline constexpr std::int32_t max_year = 262142;

bool is_leap_year(std::int64_t year);
// 28 to 31; 0 for a month outside 1..12.
unsigned days_in_month(std::int64_t year, unsigned month);

// Monday first, as the task files number the days of the week.
enum class Weekday : std::uint8_t {
    monday = 0,
    tuesday = 1,
    wednesday = 2,
    thursday = 3,
    friday = 4,
    saturday = 5,
    sunday = 6,
};

struct CivilDate {
    std::int32_t year = 1970;
    unsigned month = 1;  // 1..12
    unsigned day = 1;    // 1..31

    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

class Date {
  public:
    // 1970-01-01.
    constexpr Date() = default;

    // None when the date does not exist or lies outside min_year..max_year.
    static std::optional<Date> from_civil(std::int64_t year, unsigned month, unsigned day);
    // Days since 1970-01-01 (negative before it); none outside the range.
    static std::optional<Date> from_days(std::int64_t days);
    static Date min();
    static Date max();

    std::int64_t days() const { return days_; }
    CivilDate civil() const;
    std::int32_t year() const { return civil().year; }
    unsigned month() const { return civil().month; }
    unsigned day() const { return civil().day; }
    Weekday weekday() const;
    // None when the result leaves the range.
    std::optional<Date> add_days(std::int64_t n) const;

    friend auto operator<=>(const Date&, const Date&) = default;

  private:
    explicit constexpr Date(std::int32_t days) : days_(days) {}
    std::int32_t days_ = 0;
};

}  // namespace snv::calendar
