#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/date.h"
#include "calendar/time_of_day.h"
#include "model/action.h"
#include "model/settings.h"
#include "model/task.h"

namespace snv::schedule {

// A timed alarm of the day. `time` is the notify time, when the countdown starts: always a
// whole second.
struct PlanEntry {
    std::string task_id;
    calendar::TimeOfDay time;
    model::Action action = model::Action::shutdown;

    friend bool operator==(const PlanEntry&, const PlanEntry&) = default;
};

// An idle watch; `minutes` is never 0.
struct IdleEntry {
    std::string task_id;
    std::uint32_t minutes = 1;
    model::Action action = model::Action::shutdown;

    friend bool operator==(const IdleEntry&, const IdleEntry&) = default;
};

// A processor-load watch, its numbers as the trigger stores them.
struct CpuEntry {
    std::string task_id;
    std::uint32_t percent = 0;
    std::uint32_t minutes = 0;
    bool below = false;
    model::Action action = model::Action::shutdown;

    friend bool operator==(const CpuEntry&, const CpuEntry&) = default;
};

// Today's plan. Copies are deep and independent; equality compares the date and every entry of
// the three lists in order.
struct DayPlan {
    std::vector<PlanEntry> alarms;       // ascending by time, equal times in task-file order
    std::vector<IdleEntry> idle;         // task-file order
    std::vector<CpuEntry> cpu;           // task-file order
    std::optional<calendar::Date> date;  // none only in the plan an engine starts with

    friend bool operator==(const DayPlan&, const DayPlan&) = default;
};

// The plan of `today` for these tasks and settings: empty, with the date, while paused.
DayPlan build_day_plan(const std::vector<model::Task>& tasks, const model::Settings& settings,
                       calendar::Date today);

}  // namespace snv::schedule
