#include <algorithm>
#include <array>
#include <string>
#include <variant>

#include "calendar/text.h"
#include "engine/detail_text.h"

namespace snv::engine {

namespace {

using model::Trigger;

constexpr std::array<std::string_view, 7> kShortDays{"Mon", "Tue", "Wed", "Thu",
                                                     "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kFullDays{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                    "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 5> kNthWords{"first", "second", "third", "fourth", "last"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <typename Table, typename Enum>
std::string_view word(const Table& table, Enum value) {
    return table[static_cast<std::size_t>(value) % table.size()];
}

template <typename T>
std::vector<T> sorted_distinct(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

std::string two_digits(unsigned n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string describe(const Trigger::Once& t) {
    return "Once on " + calendar::format_date(t.at.date) + " at " + format_hhmm(t.at.time);
}

std::string describe(const Trigger::Daily& t) {
    if (t.every >= 2) return "Every " + std::to_string(t.every) + " days at " + format_hhmm(t.time);
    return "Every day at " + format_hhmm(t.time);
}

std::string describe(const Trigger::Weekly& t) {
    std::string text = "Every ";
    if (t.every >= 2) text += std::to_string(t.every) + " weeks on ";
    return text + describe_days(t.days) + " at " + format_hhmm(t.time);
}

std::string describe(const Trigger::Monthly& t) {
    std::string day;
    if (const auto* on = std::get_if<model::MonthDay::Date>(&t.on.value)) {
        day = "day " + std::to_string(on->day);
    } else {
        const auto& wd = std::get<model::MonthDay::Weekday>(t.on.value);
        day = "the " + std::string(word(kNthWords, wd.nth)) + " " +
              std::string(word(kFullDays, wd.weekday));
    }
    return "Monthly on " + day + " at " + format_hhmm(t.time) + describe_months(t.months);
}

std::string describe(const Trigger::Idle& t) {
    return "After " + std::to_string(t.minutes) + " min without keyboard or mouse input";
}

std::string describe(const Trigger::Cpu& t) {
    return std::string("When CPU stays ") + (t.below ? "below" : "above") + " " +
           std::to_string(t.percent) + "% for " + std::to_string(t.minutes) + " min";
}

}  // namespace

std::string format_hhmm(calendar::TimeOfDay time) {
    return two_digits(time.seconds() / 3600) + ":" + two_digits(time.seconds() / 60 % 60);
}

std::string describe_days(const std::vector<model::DayOfWeek>& days) {
    using D = model::DayOfWeek;
    const std::vector<D> set = sorted_distinct(days);
    if (set == std::vector<D>{D::sat, D::sun}) return "weekend day";
    if (set == std::vector<D>{D::mon, D::tue, D::wed, D::thu, D::fri}) return "weekday";
    if (set.size() == 7) return "day";
    std::string text;
    for (const D d : set) {
        if (!text.empty()) text += ", ";
        text += word(kShortDays, d);
    }
    return text;
}

std::string describe_months(const std::vector<std::uint32_t>& months) {
    const std::vector<std::uint32_t> set = sorted_distinct(months);
    const bool every_month = set.size() == 12 && set.front() == 1 && set.back() == 12;
    if (set.empty() || every_month) return {};
    std::string text = " (";
    for (const std::uint32_t m : set) {
        if (text.size() > 2) text += ", ";
        // A number that names no month is shown as stored: the planner never matches it.
        text += (m >= 1 && m <= 12) ? std::string(kMonths[m - 1]) : std::to_string(m);
    }
    return text + ")";
}

}  // namespace snv::engine

namespace snv::model {

std::string Trigger::describe() const {
    return std::visit([](const auto& variant) { return engine::describe(variant); }, value);
}

}  // namespace snv::model
