#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"
#include "model/task.h"

namespace snv::test {

inline calendar::Date date(std::int64_t y, unsigned m, unsigned d) {
    return calendar::Date::from_civil(y, m, d).value();
}

inline calendar::TimeOfDay time(unsigned h, unsigned m, unsigned s = 0, std::uint32_t ns = 0) {
    return calendar::TimeOfDay::from_hms(h, m, s, ns).value();
}

inline model::Trigger trigger(auto variant) { return model::Trigger{std::move(variant)}; }

inline model::Task task(std::string id, model::Action action, model::Trigger trigger) {
    model::Task t;
    t.id = std::move(id);
    t.enabled = true;
    t.action = action;
    t.trigger = std::move(trigger);
    return t;
}

}  // namespace snv::test
