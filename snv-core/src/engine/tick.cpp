#include <algorithm>

#include "engine/clock_reading.h"
#include "engine/countdown_window.h"
#include "engine/engine.h"
#include "engine/plan_reload.h"
#include "engine/session_probe.h"

namespace snv::engine {

namespace {

// The session enumeration and the mutex probe are kept to one in five seconds.
constexpr std::uint64_t kProbePeriodSeconds = 5;

}  // namespace

void Engine::tick() {
    if (!last_probe ||
        whole_seconds_between(*last_probe, env.clock.monotonic_now()) >= kProbePeriodSeconds) {
        probe();
    }
    // Queued countdowns run out also while the desktop program runs.
    run_pending();
    if (desktop_running) return;

    const std::uint64_t no_user = no_user_seconds();
    // One reading of the local clock serves the whole rest of the tick.
    const auto now = local_date_time(env.clock.local_now());
    if (!now) return;
    refresh_day_plan(*this, now->date);
    const std::optional<float> load = sample_cpu();
    for (DueItem& item : collect_due(*now, no_user, load)) hand_off(std::move(item));
}

void Engine::probe() {
    last_probe = env.clock.monotonic_now();
    user_signed_in = any_user_signed_in(env.sessions);
    const bool running = desktop_app_running(env.sessions);
    if (running == desktop_running) return;
    desktop_running = running;
    // The desktop program kept its own watches while it ran; ours start afresh.
    if (!running) rearm_watches();
}

void Engine::rearm_watches() {
    std::fill(idle_armed.begin(), idle_armed.end(), true);
    std::fill(cpu_accum.begin(), cpu_accum.end(), 0.0);
    last_cpu_eval.reset();
}

std::uint64_t Engine::no_user_seconds() {
    if (user_signed_in) {
        no_user_since.reset();
        return 0;
    }
    const os::MonotonicTime now = env.clock.monotonic_now();
    if (!no_user_since) no_user_since = now;
    return whole_seconds_between(*no_user_since, now);
}

}  // namespace snv::engine
