#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/time_of_day.h"
#include "model/action.h"
#include "model/task.h"
#include "model/trigger.h"

// The fixed English texts of an "executed" history entry: which task ran and when it was meant
// to run. (Trigger::describe is a member of model::Trigger, defined with these.)
namespace snv::engine {

// The separator between a task's label and its trigger's description: blank, U+00B7, blank.
inline constexpr std::string_view kDetailSeparator = " \xC2\xB7 ";

// Label and trigger description of the first task with this id; empty when there is none.
std::string execution_detail(const std::vector<model::Task>& tasks, std::string_view task_id);

// The task's name as stored unless it is only Unicode white space; then its action's label.
std::string task_label(const model::Task& task);

// The action's display label ("Shut down", "Turn off display", ...).
std::string_view action_label(model::Action action);

// "HH:MM"; seconds and fraction are dropped.
std::string format_hhmm(calendar::TimeOfDay time);

// "weekend day", "weekday", "day", or the short names of the distinct days, Monday first.
std::string describe_days(const std::vector<model::DayOfWeek>& days);

// Empty for every month, otherwise " (Jan, Jul)": the distinct months in ascending order.
std::string describe_months(const std::vector<std::uint32_t>& months);

}  // namespace snv::engine
