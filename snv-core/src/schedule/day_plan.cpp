#include "schedule/day_plan.h"

#include <algorithm>
#include <variant>

#include "schedule/notify_time.h"

namespace snv::schedule {

namespace {

using model::Trigger;

calendar::TimeOfDay time_of(const Trigger::Once& t) {
    return t.at.time;
}
template <typename Timed>
calendar::TimeOfDay time_of(const Timed& t) {
    return t.time;
}

void add_entry(DayPlan& plan, const model::Task& task, const model::Settings& settings) {
    std::visit(
        [&](const auto& t) {
            using T = std::decay_t<decltype(t)>;
            if constexpr (std::is_same_v<T, Trigger::Idle>) {
                plan.idle.push_back({task.id, std::max<std::uint32_t>(t.minutes, 1), task.action});
            } else if constexpr (std::is_same_v<T, Trigger::Cpu>) {
                plan.cpu.push_back({task.id, t.percent, t.minutes, t.below, task.action});
            } else {
                const auto at = notify_time(time_of(t), settings.countdown.seconds);
                plan.alarms.push_back({task.id, at, task.action});
            }
        },
        task.trigger.value);
}

}  // namespace

DayPlan build_day_plan(const std::vector<model::Task>& tasks, const model::Settings& settings,
                       calendar::Date today) {
    DayPlan plan;
    plan.date = today;
    if (settings.paused) return plan;
    for (const model::Task& task : tasks) {
        if (!task.enabled) continue;
        if (task.skip_date == today) continue;
        if (!task.trigger.occurs_on(today)) continue;
        add_entry(plan, task, settings);
    }
    std::stable_sort(plan.alarms.begin(), plan.alarms.end(),
                     [](const PlanEntry& a, const PlanEntry& b) { return a.time < b.time; });
    return plan;
}

}  // namespace snv::schedule
