#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "json/writer.h"
#include "model/task.h"

namespace snv::model {

// The pretty text of tasks.json, byte for byte as the desktop program writes it. The version
// is written as it stands in the record (save_task_file sets it to 1 first).
std::string write_task_file(const TaskFile& file);
// The same, given up (none) as soon as the text grows past `max_bytes`.
std::optional<std::string> write_task_file(const TaskFile& file, std::uint64_t max_bytes);

// One trigger object: "type" first, then every field of the variant, defaults included.
void write_trigger(const Trigger& trigger, json::Writer& out);
void write_day_of_week(DayOfWeek day, json::Writer& out);

}  // namespace snv::model
