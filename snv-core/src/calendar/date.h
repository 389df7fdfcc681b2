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

// The conversion from civil dates is defined here rather than in date.cpp: reading a data file
// converts every date in it, and the compiler keeps a std::optional<Date> in registers only
// where it sees the body.

namespace detail {

// Floor division, since the calendar runs far below year 0.
constexpr std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a valid civil date, counting in 400-year cycles of 146097 days
// with years starting on 1 March so that the leap day falls at the end.
constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t year_of_era = y - era * 400;                             // 0..399
    const unsigned month_from_march = m > 2 ? m - 3 : m + 9;                    // 0..11
    const std::int64_t day_of_year = (153 * month_from_march + 2) / 5 + d - 1;  // 0..365
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

}  // namespace detail

inline bool is_leap_year(std::int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

inline unsigned days_in_month(std::int64_t year, unsigned month) {
    static constexpr unsigned lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && is_leap_year(year)) return 29;
    return lengths[month - 1];
}

inline std::optional<Date> Date::from_civil(std::int64_t year, unsigned month, unsigned day) {
    if (year < min_year || year > max_year) return std::nullopt;
    if (day < 1 || day > days_in_month(year, month)) return std::nullopt;
    return Date(static_cast<std::int32_t>(detail::days_from_civil(year, month, day)));
}

}  // namespace snv::calendar
