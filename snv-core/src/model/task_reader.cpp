#include "model/task_reader.h"

#include <utility>

#include "json/record.h"
#include "json/values.h"
#include "model/read_helpers.h"
#include "model/trigger_reader.h"

namespace snv::model {

// Value readers picked by type (through argument-dependent lookup) by the record fields.
static json::Checked read_value(json::Reader& in, Action& out) {
    return store(read_task_action(in), out);
}

static json::Checked read_value(json::Reader& in, Trigger& out) {
    return store(read_trigger(in), out);
}

static json::Checked read_value(json::Reader& in, Task& t) {
    return json::read_record(in, {
                                     json::required("id", t.id),
                                     json::with_default("name", t.name),
                                     json::required("enabled", t.enabled),
                                     json::required("action", t.action),
                                     json::required("trigger", t.trigger),
                                     json::with_default("skip_date", t.skip_date),
                                     json::with_default("temporary", t.temporary),
                                 });
}

json::Read<Action> read_task_action(json::Reader& in) { return read_named(in, parse_action); }

json::Read<std::vector<Task>> read_task_list(json::Reader& in) {
    std::vector<Task> tasks;
    if (auto ok = json::read_value(in, tasks); !ok) return std::unexpected(ok.error());
    return tasks;
}

json::Read<TaskFile> read_task_file(std::string_view bytes) {
    return json::read_document(bytes, [](json::Reader& in) -> json::Read<TaskFile> {
        TaskFile file;
        auto ok = json::read_record(in, {
                                            json::with_default("version", file.version),
                                            json::with_default("tasks", file.tasks),
                                        });
        if (!ok) return std::unexpected(ok.error());
        return file;
    });
}

}  // namespace snv::model
