#pragma once

#include <string_view>
#include <vector>

#include "json/reader.h"
#include "json/reject.h"
#include "model/task.h"

namespace snv::model {

// The whole tasks.json document: an object or its positional array (version, tasks).
json::Read<TaskFile> read_task_file(std::string_view bytes);

// The value of "tasks": an array of tasks, each an object or a positional array.
json::Read<std::vector<Task>> read_task_list(json::Reader& in);

// A task's "action": "name" or {"name": null}.
json::Read<Action> read_task_action(json::Reader& in);

}  // namespace snv::model
