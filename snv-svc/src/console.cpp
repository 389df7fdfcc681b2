#include "console.h"

#include "calendar/text.h"
#include "engine_run.h"
#include "model/action.h"
#include "os/process.h"
#include "process_data_dir.h"

namespace snv::svc {

std::string console_banner(const os::NativePath* data_dir) {
    std::string folder = data_dir != nullptr ? os::to_utf8(*data_dir) : std::string();
    return "Somnivo Service \u2014 console mode. Data: " + folder + "\nPress Ctrl+C to quit.\n";
}

std::string status_block(calendar::TimeOfDay now, const schedule::DayPlan& plan,
                         bool desktop_running) {
    std::string out = calendar::format_hms(now) + " plan: " + std::to_string(plan.alarms.size()) +
                      " alarm(s), " + std::to_string(plan.idle.size()) + " idle, " +
                      std::to_string(plan.cpu.size()) +
                      " CPU task(s); GUI running: " + (desktop_running ? "true" : "false") + "\n";
    for (const schedule::PlanEntry& alarm : plan.alarms) {
        out += "  " + calendar::format_hms(alarm.time) + " -> ";
        out += model::action_name(alarm.action);
        out += " [" + alarm.task_id + "]\n";
    }
    return out;
}

void print_status(os::Console& out, os::Clock& clock, const schedule::DayPlan& plan,
                  bool desktop_running) {
    os::LocalTime local = clock.local_now();
    // A leap second (60) still prints as a time; anything out of range prints as midnight.
    auto now = calendar::TimeOfDay::from_hms(local.hour, local.minute, local.second)
                   .value_or(calendar::TimeOfDay());
    out.write_out(status_block(now, plan, desktop_running));
}

void ConsoleLoop::pass() {
    tick_();
    // Only the plan decides: the desktop-program flag is shown, never compared.
    if (!last_printed_ || *last_printed_ != engine_.day_plan) {
        last_printed_ = engine_.day_plan;
        print_status(out_, clock_, *last_printed_, engine_.desktop_running);
    }
    clock_.sleep_for(kTickPeriod);
}

void run_console() {
    os::Console& out = os::real_console();
    out.write_out(console_banner(process_data_dir().get()));
    RealEngine real;
    ConsoleLoop loop(
        real.engine(), [&real] { real.tick(); }, os::real_clock(), out);
    for (;;) loop.pass();
}

}  // namespace snv::svc
