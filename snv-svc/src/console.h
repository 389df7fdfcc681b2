#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "os/clock.h"
#include "os/console.h"
#include "os/path.h"
#include "schedule/day_plan.h"

namespace snv::svc {

// The two lines the console run starts with; `data_dir` null when no folder could be formed.
std::string console_banner(const os::NativePath* data_dir);

// The status block: the local time, the plan's counts and the desktop-program flag, then one
// line per alarm in plan order.
std::string status_block(calendar::TimeOfDay now, const schedule::DayPlan& plan,
                         bool desktop_running);

// Writes the status block for the current local time.
void print_status(os::Console& out, os::Clock& clock, const schedule::DayPlan& plan,
                  bool desktop_running);

// The console's loop over one engine on one thread: tick, print the status when the plan
// differs from the last one printed (always on the first pass), sleep a second.
class ConsoleLoop {
  public:
    ConsoleLoop(engine::Engine& engine, std::function<void()> tick, os::Clock& clock,
                os::Console& out)
        : engine_(engine), tick_(std::move(tick)), clock_(clock), out_(out) {}

    void pass();

  private:
    engine::Engine& engine_;
    std::function<void()> tick_;
    os::Clock& clock_;
    os::Console& out_;
    std::optional<schedule::DayPlan> last_printed_;
};

// `/console`: the engine in this console until the process is ended from outside.
[[noreturn]] void run_console();

}  // namespace snv::svc
