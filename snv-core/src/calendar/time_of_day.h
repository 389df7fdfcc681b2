#pragma once

#include <compare>
#include <cstdint>
#include <optional>

namespace snv::calendar {

inline constexpr std::uint32_t nanos_per_second = 1'000'000'000;

// Seconds since midnight (0..86399) and a fraction in nanoseconds. A leap second is held as
// second 59 of its minute with a fraction of one second or more (1e9..1999999999).
class TimeOfDay {
  public:
    // Midnight.
    constexpr TimeOfDay() = default;

    // `second` 60 is a leap second (held as 59 plus one second). None when out of range.
    static std::optional<TimeOfDay> from_hms(unsigned hour, unsigned minute, unsigned second,
                                             std::uint32_t nanos = 0);
    // None unless seconds < 86400 and nanos < 1e9, or nanos < 2e9 on second 59 of a minute.
    static std::optional<TimeOfDay> from_seconds(std::uint32_t seconds, std::uint32_t nanos = 0);

    std::uint32_t seconds() const { return seconds_; }  // since midnight, 0..86399
    std::uint32_t nanos() const { return nanos_; }      // 0..1999999999
    unsigned hour() const { return seconds_ / 3600; }
    unsigned minute() const { return seconds_ / 60 % 60; }
    unsigned second() const { return seconds_ % 60; }  // 59 during a leap second
    bool is_leap_second() const { return nanos_ >= nanos_per_second; }

    friend auto operator<=>(const TimeOfDay&, const TimeOfDay&) = default;

  private:
    constexpr TimeOfDay(std::uint32_t seconds, std::uint32_t nanos)
        : seconds_(seconds), nanos_(nanos) {}
    std::uint32_t seconds_ = 0;
    std::uint32_t nanos_ = 0;
};

// Here rather than in time_of_day.cpp, as Date::from_civil: reading converts every time.
inline std::optional<TimeOfDay> TimeOfDay::from_hms(unsigned hour, unsigned minute, unsigned second,
                                                    std::uint32_t nanos) {
    if (hour > 23 || minute > 59 || second > 60 || nanos >= nanos_per_second) return std::nullopt;
    if (second == 60) return TimeOfDay(hour * 3600 + minute * 60 + 59, nanos + nanos_per_second);
    return TimeOfDay(hour * 3600 + minute * 60 + second, nanos);
}

}  // namespace snv::calendar
