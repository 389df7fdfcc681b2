#pragma once

#include <ostream>

#include "calendar/text.h"
#include "model/action.h"
#include "schedule/day_plan.h"

// Readable plan entries in test failures.
namespace snv::schedule {

inline void PrintTo(const PlanEntry& e, std::ostream* out) {
    *out << "{" << e.task_id << " " << calendar::format_time_of_day(e.time) << " "
         << model::action_name(e.action) << "}";
}

inline void PrintTo(const IdleEntry& e, std::ostream* out) {
    *out << "{" << e.task_id << " idle " << e.minutes << " " << model::action_name(e.action) << "}";
}

inline void PrintTo(const CpuEntry& e, std::ostream* out) {
    *out << "{" << e.task_id << " cpu " << (e.below ? "<" : ">") << e.percent << " " << e.minutes
         << " " << model::action_name(e.action) << "}";
}

}  // namespace snv::schedule
