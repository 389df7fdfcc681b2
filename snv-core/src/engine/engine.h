#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"
#include "engine/data_files.h"
#include "history/history_log.h"
#include "model/action.h"
#include "model/settings.h"
#include "model/task.h"
#include "os/clock.h"
#include "os/cpu_times.h"
#include "os/file_system.h"
#include "os/launcher.h"
#include "os/path.h"
#include "os/power.h"
#include "os/process.h"
#include "os/sessions.h"
#include "paths/data_dir.h"
#include "schedule/day_plan.h"

namespace snv::engine {

// One reading of the system's processor times (100 ns units; kernel includes idle).
using CpuTimes = os::CpuTimes;

// One alarm firing: each alarm fires once per date, task and notify time.
struct FiredKey {
    calendar::Date date;
    std::string task_id;
    calendar::TimeOfDay time;

    friend bool operator==(const FiredKey&, const FiredKey&) = default;
};

struct FiredKeyHash {
    std::size_t operator()(const FiredKey& key) const;
};

// The kind of trigger that made a task due; its name goes on the desktop program's command line.
enum class TriggerKind : std::uint8_t { timer = 0, idle = 1, cpu = 2 };

std::string_view trigger_kind_name(TriggerKind kind);  // "timer", "idle", "cpu"

// One task that fell due in a tick.
struct DueItem {
    std::string task_id;
    TriggerKind kind = TriggerKind::timer;
    model::Action action = model::Action::shutdown;

    friend bool operator==(const DueItem&, const DueItem&) = default;
};

// An action the service performs itself once its countdown has run out.
struct PendingAction {
    os::MonotonicTime deadline{};
    DueItem item;

    friend bool operator==(const PendingAction&, const PendingAction&) = default;
};

// Everything the engine reaches outside itself. Only the executable builds it from the real
// operating system; tests build it from fakes. Every referenced object outlives the engine.
struct EngineEnv {
    os::Clock& clock;
    os::ProcessorTimes& processor_times;
    os::FileSystem& files;
    os::Sessions& sessions;
    os::Launcher& launcher;
    os::Power& power;
    os::Process& process;
    history::HistoryLog& history;
    paths::DataDir& data_dir;
};

// What the service remembers between two ticks. One thread owns it; nothing in it is locked.
class Engine {
  public:
    // Takes its first processor-time sample.
    explicit Engine(const EngineEnv& env);

    // One pass, about once a second: probe, queued actions, and while the desktop program is
    // closed the plan, the due triggers and their hand-off. Every failure is handled inside.
    void tick();

    // Looks at the signed-in users and the desktop program's mutex; re-arms the watches when
    // the desktop program has gone since the last probe.
    void probe();
    // Every idle watch armed, every processor accumulation back to zero.
    void rearm_watches();
    // Whole seconds for which the probes have seen nobody signed in; 0 while somebody is.
    std::uint64_t no_user_seconds();

    // The processor load in percent over the interval since the last sample, when this call
    // took a new sample (at most every 3 s) and an earlier one exists.
    std::optional<float> sample_cpu();
    // The tasks due at `now`: alarms in plan order, then idle watches, then processor watches.
    std::vector<DueItem> collect_due(const calendar::DateTime& now, std::uint64_t no_user_secs,
                                     std::optional<float> load);

    // Hands one due task to the desktop program in the user's session, or queues it for the
    // service's own countdown.
    void hand_off(DueItem item);
    // Records and performs the queued actions whose countdown has run out.
    void run_pending();

    EngineEnv env;

    std::optional<CpuTimes> cpu_prev;
    schedule::DayPlan day_plan;
    std::vector<bool> idle_armed;   // one per idle entry of the plan
    std::vector<double> cpu_accum;  // seconds the condition held, one per CPU entry of the plan
    std::unordered_set<FiredKey, FiredKeyHash> fired;
    std::optional<calendar::DateTime> last_cpu_eval;
    std::vector<model::Task> tasks;
    model::Settings settings;
    std::optional<os::MonotonicTime> last_reload;
    std::optional<os::MonotonicTime> last_cpu_sample;
    std::optional<os::FileTime> tasks_stamp;
    std::optional<os::FileTime> settings_stamp;
    std::optional<calendar::Date> loaded_date;
    bool force_reload = true;
    std::vector<PendingAction> pending;  // in the order queued
    std::optional<os::MonotonicTime> last_probe;
    std::optional<os::MonotonicTime> no_user_since;
    bool desktop_running = false;
    bool user_signed_in = false;

    // The planner's joined paths of the two data files (a cache, not state of the plan).
    DataFiles data_files;
};

}  // namespace snv::engine
