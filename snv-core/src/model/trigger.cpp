#include "model/trigger.h"

#include "model/names.h"

namespace snv::model {

namespace {

constexpr NameTable<DayOfWeek, 7> kDays{{"mon", "tue", "wed", "thu", "fri", "sat", "sun"}};
constexpr NameTable<Nth, 5> kNths{{"first", "second", "third", "fourth", "last"}};
constexpr NameTable<std::size_t, 6> kTypes{{"once", "daily", "weekly", "monthly", "idle", "cpu"}};
constexpr NameTable<std::size_t, 2> kKinds{{"date", "weekday"}};

}  // namespace

std::string_view day_of_week_name(DayOfWeek day) { return kDays.name(day); }
std::string_view nth_name(Nth nth) { return kNths.name(nth); }
std::optional<DayOfWeek> parse_day_of_week_name(std::string_view name) { return kDays.parse(name); }
std::optional<Nth> parse_nth_name(std::string_view name) { return kNths.parse(name); }

std::string_view month_day_kind_name(const MonthDay& on) { return kKinds.name(on.value.index()); }
std::optional<std::size_t> parse_month_day_kind_name(std::string_view name) {
    return kKinds.parse(name);
}

std::string_view trigger_type_name(const Trigger& trigger) {
    return kTypes.name(trigger.value.index());
}
std::optional<std::size_t> parse_trigger_type(std::string_view name) { return kTypes.parse(name); }

}  // namespace snv::model
