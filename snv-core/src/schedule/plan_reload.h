#pragma once

#include <optional>
#include <vector>

#include "calendar/date.h"
#include "model/settings.h"
#include "model/task.h"
#include "os/file_stamp.h"
#include "schedule/day_plan.h"

namespace snv::engine {
class Engine;
}

namespace snv::schedule {

// Keeps the engine's tasks, settings and day plan current for `today`: most calls only look
// at the two files' stamps, the date and the age of the last reload, and return.
void refresh_day_plan(engine::Engine& engine, calendar::Date today);

// Whether the planner must reload, given the stamps of tasks.json (`tasks`) and settings.json
// (`settings`) just taken. Changes nothing.
bool needs_reload(const engine::Engine& engine, calendar::Date today,
                  const std::optional<os::FileTime>& tasks,
                  const std::optional<os::FileTime>& settings);

// The plan of `today` for these tasks and settings: empty, with the date, while paused.
DayPlan build_day_plan(const std::vector<model::Task>& tasks, const model::Settings& settings,
                       calendar::Date today);

}  // namespace snv::schedule
