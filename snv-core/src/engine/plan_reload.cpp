#include "engine/plan_reload.h"

#include <algorithm>
#include <chrono>

#include "engine/engine.h"
#include "model/settings_file.h"
#include "model/task_file.h"

namespace snv::engine {

namespace {

// A reload at least once an hour catches what no stamp shows (a clock or time-zone change
// that keeps the date, say).
constexpr std::int64_t kMaxAgeSeconds = 3599;

std::optional<os::FileTime> stamp_of(const DataFiles& files, const os::NativePath& path,
                                     os::FileSystem& fs) {
    if (!files.folder) return std::nullopt;
    return fs.last_write(path);
}

void reload(Engine& engine, calendar::Date today, const DataFiles& files) {
    os::FileSystem& fs = engine.env.files;
    engine.last_reload = engine.env.clock.monotonic_now();
    engine.settings = files.folder ? model::load_settings(files.settings, fs) : model::Settings{};
    engine.tasks =
        files.folder ? model::load_task_file(files.tasks, fs).tasks : std::vector<model::Task>{};
    schedule::DayPlan plan = schedule::build_day_plan(engine.tasks, engine.settings, today);

    std::erase_if(engine.fired, [&](const FiredKey& key) { return key.date != today; });
    engine.idle_armed.assign(plan.idle.size(), true);
    engine.cpu_accum.assign(plan.cpu.size(), 0.0);
    engine.last_cpu_eval.reset();
    engine.day_plan = std::move(plan);
}

}  // namespace

bool needs_reload(const Engine& engine, calendar::Date today,
                  const std::optional<os::FileTime>& tasks,
                  const std::optional<os::FileTime>& settings) {
    if (!engine.last_reload) return true;
    if (engine.force_reload) return true;
    const os::MonotonicTime now = engine.env.clock.monotonic_now();
    const auto elapsed =
        now > *engine.last_reload ? now - *engine.last_reload : os::MonotonicTime::zero();
    if (std::chrono::duration_cast<std::chrono::seconds>(elapsed).count() > kMaxAgeSeconds) {
        return true;
    }
    if (engine.loaded_date != today) return true;
    return tasks != engine.tasks_stamp || settings != engine.settings_stamp;
}

void refresh_day_plan(Engine& engine, calendar::Date today) {
    const DataFiles& files = engine.data_files.update(engine.env.data_dir.get());
    // Both stamps come before either file is read: a write that ends during the reload shows
    // as a changed stamp at the next call.
    const auto ts = stamp_of(files, files.tasks, engine.env.files);
    const auto ss = stamp_of(files, files.settings, engine.env.files);
    if (!needs_reload(engine, today, ts, ss)) return;

    reload(engine, today, files);
    engine.tasks_stamp = ts;
    engine.settings_stamp = ss;
    engine.loaded_date = today;
    engine.force_reload = false;
}

}  // namespace snv::engine
