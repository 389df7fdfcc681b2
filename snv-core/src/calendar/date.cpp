#include "calendar/date.h"

namespace snv::calendar {
namespace {

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

constexpr CivilDate civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = floor_div(z, 146097);
    const std::int64_t day_of_era = z - era * 146097;  // 0..146096
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;  // month from March, 0..11
    const unsigned day = static_cast<unsigned>(day_of_year - (153 * mp + 2) / 5 + 1);
    const unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    return CivilDate{static_cast<std::int32_t>(year), month, day};
}

constexpr std::int64_t min_days = days_from_civil(min_year, 1, 1);
constexpr std::int64_t max_days = days_from_civil(max_year, 12, 31);

}  // namespace

bool is_leap_year(std::int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned days_in_month(std::int64_t year, unsigned month) {
    static constexpr unsigned lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && is_leap_year(year)) return 29;
    return lengths[month - 1];
}

std::optional<Date> Date::from_civil(std::int64_t year, unsigned month, unsigned day) {
    if (year < min_year || year > max_year) return std::nullopt;
    if (day < 1 || day > days_in_month(year, month)) return std::nullopt;
    return Date(static_cast<std::int32_t>(days_from_civil(year, month, day)));
}

std::optional<Date> Date::from_days(std::int64_t days) {
    if (days < min_days || days > max_days) return std::nullopt;
    return Date(static_cast<std::int32_t>(days));
}

Date Date::min() {
    return Date(static_cast<std::int32_t>(min_days));
}
Date Date::max() {
    return Date(static_cast<std::int32_t>(max_days));
}

CivilDate Date::civil() const {
    return civil_from_days(days_);
}

Weekday Date::weekday() const {
    // 1970-01-01 was a Thursday (3 counting from Monday).
    const std::int64_t index = ((days_ + 3) % 7 + 7) % 7;
    return static_cast<Weekday>(index);
}

std::optional<Date> Date::add_days(std::int64_t n) const {
    // The range is about 2e8 days: a larger step leaves it whatever its sign.
    if (n > 1'000'000'000 || n < -1'000'000'000) return std::nullopt;
    return from_days(days_ + n);
}

}  // namespace snv::calendar
