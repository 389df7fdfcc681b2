#include "schedule/plan_reload.h"

#include <algorithm>
#include <chrono>
#include <variant>

#include "engine/engine.h"
#include "model/settings_file.h"
#include "model/task_file.h"
#include "schedule/file_stamp.h"
#include "schedule/notify_time.h"

namespace snv::schedule {

namespace {

using model::Trigger;

// A reload at least once an hour catches what no stamp shows (a clock or time-zone change
// that keeps the date, say).
constexpr std::int64_t kMaxAgeSeconds = 3599;

calendar::TimeOfDay time_of(const Trigger::Once& t) {
    return t.at.time;
}
template <typename Timed>
calendar::TimeOfDay time_of(const Timed& t) {
    return t.time;
}

void add_entry(DayPlan& plan, const model::Task& task, const model::Settings& settings) {
    std::visit(
        [&](const auto& t) {
            using T = std::decay_t<decltype(t)>;
            if constexpr (std::is_same_v<T, Trigger::Idle>) {
                plan.idle.push_back({task.id, std::max<std::uint32_t>(t.minutes, 1), task.action});
            } else if constexpr (std::is_same_v<T, Trigger::Cpu>) {
                plan.cpu.push_back({task.id, t.percent, t.minutes, t.below, task.action});
            } else {
                const auto at = notify_time(time_of(t), settings.countdown.seconds);
                plan.alarms.push_back({task.id, at, task.action});
            }
        },
        task.trigger.value);
}

std::optional<os::FileTime> stamp_of(const DataFiles& files, const os::NativePath& path,
                                     os::FileStamps& stamps) {
    if (!files.folder) return std::nullopt;
    return file_stamp(path, stamps);
}

void reload(engine::Engine& engine, calendar::Date today, const DataFiles& files) {
    engine.last_reload = engine.os.clock->monotonic_now();
    engine.settings = files.folder ? model::load_settings(files.settings) : model::Settings{};
    engine.tasks =
        files.folder ? model::load_task_file(files.tasks).tasks : std::vector<model::Task>{};
    DayPlan plan = build_day_plan(engine.tasks, engine.settings, today);

    std::erase_if(engine.fired, [&](const engine::FiredKey& key) { return key.date != today; });
    engine.idle_armed.assign(plan.idle.size(), true);
    engine.cpu_accum.assign(plan.cpu.size(), 0.0);
    engine.last_cpu_eval.reset();
    engine.day_plan = std::move(plan);
}

}  // namespace

DayPlan build_day_plan(const std::vector<model::Task>& tasks, const model::Settings& settings,
                       calendar::Date today) {
    DayPlan plan;
    plan.date = today;
    if (settings.paused) return plan;
    for (const model::Task& task : tasks) {
        if (!task.enabled) continue;
        if (task.skip_date == today) continue;
        if (!task.trigger.occurs_on(today)) continue;
        add_entry(plan, task, settings);
    }
    std::stable_sort(plan.alarms.begin(), plan.alarms.end(),
                     [](const PlanEntry& a, const PlanEntry& b) { return a.time < b.time; });
    return plan;
}

bool needs_reload(const engine::Engine& engine, calendar::Date today,
                  const std::optional<os::FileTime>& tasks,
                  const std::optional<os::FileTime>& settings) {
    if (!engine.last_reload) return true;
    if (engine.force_reload) return true;
    const os::MonotonicTime now = engine.os.clock->monotonic_now();
    const auto elapsed =
        now > *engine.last_reload ? now - *engine.last_reload : os::MonotonicTime::zero();
    if (std::chrono::duration_cast<std::chrono::seconds>(elapsed).count() > kMaxAgeSeconds) {
        return true;
    }
    if (engine.loaded_date != today) return true;
    return tasks != engine.tasks_stamp || settings != engine.settings_stamp;
}

void refresh_day_plan(engine::Engine& engine, calendar::Date today) {
    const DataFiles& files = engine.data_files.update(engine.os.data_folder());
    // Both stamps come before either file is read: a write that ends during the reload shows
    // as a changed stamp at the next call.
    const auto ts = stamp_of(files, files.tasks, *engine.os.file_stamps);
    const auto ss = stamp_of(files, files.settings, *engine.os.file_stamps);
    if (!needs_reload(engine, today, ts, ss)) return;

    reload(engine, today, files);
    engine.tasks_stamp = ts;
    engine.settings_stamp = ss;
    engine.loaded_date = today;
    engine.force_reload = false;
}

}  // namespace snv::schedule
