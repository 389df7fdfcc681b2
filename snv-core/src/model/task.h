#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/date.h"
#include "model/action.h"
#include "model/trigger.h"

namespace snv::model {

// One scheduled task of tasks.json.
struct Task {
    std::string id;    // any string, the empty one too; not checked for uniqueness
    std::string name;  // empty: none
    bool enabled = false;
    Action action = Action::shutdown;
    Trigger trigger;
    std::optional<calendar::Date> skip_date;  // the task does not occur on that one date
    bool temporary = false;                   // removed from tasks.json when it falls due

    bool operator==(const Task&) const = default;
};

// The whole content of tasks.json. The version is carried, never checked.
struct TaskFile {
    std::uint32_t version = 0;
    std::vector<Task> tasks;  // in file order

    bool operator==(const TaskFile&) const = default;
};

}  // namespace snv::model
