#include "calendar/date.h"

namespace snv::calendar {
namespace {

using detail::days_from_civil;
using detail::floor_div;

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
