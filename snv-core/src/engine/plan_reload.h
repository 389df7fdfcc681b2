#pragma once

#include <optional>

#include "calendar/date.h"
#include "os/file_system.h"

namespace snv::engine {

class Engine;

// Keeps the engine's tasks, settings and day plan current for `today`: most calls only look
// at the two files' stamps, the date and the age of the last reload, and return.
void refresh_day_plan(Engine& engine, calendar::Date today);

// Whether the planner must reload, given the stamps of tasks.json (`tasks`) and settings.json
// (`settings`) just taken. Changes nothing.
bool needs_reload(const Engine& engine, calendar::Date today,
                  const std::optional<os::FileTime>& tasks,
                  const std::optional<os::FileTime>& settings);

}  // namespace snv::engine
