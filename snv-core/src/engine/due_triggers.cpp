#include <algorithm>
#include <utility>

#include "engine/clock_reading.h"
#include "engine/engine.h"

namespace snv::engine {

namespace {

constexpr std::uint64_t kSamplePeriodSeconds = 3;
// An alarm is due from just after one second before its notify time to just before ten after.
constexpr std::int64_t kAlarmWindowSeconds = 9;
// One evaluation adds at most a minute, however long the clock jumped or the machine slept.
constexpr std::int64_t kMaxCpuStepMillis = 60'000;

std::uint64_t minus_or_zero(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : 0;
}

// Whole seconds from `notify` to `now`, truncated toward zero.
std::int64_t seconds_after(const calendar::TimeOfDay& now, const calendar::TimeOfDay& notify) {
    const auto nanos_of = [](const calendar::TimeOfDay& t) {
        return std::int64_t{t.seconds()} * 1'000'000'000 + t.nanos();
    };
    return (nanos_of(now) - nanos_of(notify)) / 1'000'000'000;
}

}  // namespace

std::optional<float> Engine::sample_cpu() {
    const os::MonotonicTime now = env.clock.monotonic_now();
    if (last_cpu_sample && whole_seconds_between(*last_cpu_sample, now) < kSamplePeriodSeconds) {
        return std::nullopt;
    }
    // Stamped before the read, so that a failing read is tried again only a period later.
    last_cpu_sample = now;
    const std::optional<CpuTimes> sample = env.processor_times.read();
    if (!sample) return std::nullopt;
    const std::optional<CpuTimes> previous = std::exchange(cpu_prev, sample);
    if (!previous) return std::nullopt;

    const std::uint64_t total = minus_or_zero(sample->kernel, previous->kernel) +
                                minus_or_zero(sample->user, previous->user);
    if (total == 0) return 0.0f;
    const std::uint64_t busy = minus_or_zero(total, minus_or_zero(sample->idle, previous->idle));
    const double load = static_cast<double>(busy) * 100.0 / static_cast<double>(total);
    return static_cast<float>(std::min(load, 100.0));
}

std::vector<DueItem> Engine::collect_due(const calendar::DateTime& now, std::uint64_t no_user_secs,
                                         std::optional<float> load) {
    std::vector<DueItem> due;

    if (day_plan.date == now.date) {
        for (const schedule::PlanEntry& alarm : day_plan.alarms) {
            const std::int64_t d = seconds_after(now.time, alarm.time);
            if (d < 0 || d > kAlarmWindowSeconds) continue;
            if (fired.insert(FiredKey{now.date, alarm.task_id, alarm.time}).second) {
                due.push_back({alarm.task_id, TriggerKind::timer, alarm.action});
            }
        }
    }

    const std::size_t idle_count = std::min(day_plan.idle.size(), idle_armed.size());
    for (std::size_t i = 0; i < idle_count; ++i) {
        const schedule::IdleEntry& watch = day_plan.idle[i];
        if (no_user_secs < std::uint64_t{watch.minutes} * 60) {
            idle_armed[i] = true;
        } else if (idle_armed[i]) {
            idle_armed[i] = false;
            due.push_back({watch.task_id, TriggerKind::idle, watch.action});
        }
    }

    if (!load) return due;
    const double dt =
        last_cpu_eval
            ? static_cast<double>(clamped_millis_between(*last_cpu_eval, now, kMaxCpuStepMillis)) /
                  1000.0
            : 0.0;
    last_cpu_eval = now;
    const std::size_t cpu_count = std::min(day_plan.cpu.size(), cpu_accum.size());
    for (std::size_t i = 0; i < cpu_count; ++i) {
        const schedule::CpuEntry& watch = day_plan.cpu[i];
        if (watch.minutes == 0) continue;
        const float percent = static_cast<float>(watch.percent);
        const bool holds = watch.below ? *load < percent : *load > percent;
        if (!holds) {
            cpu_accum[i] = 0.0;
            continue;
        }
        cpu_accum[i] += dt;
        if (cpu_accum[i] >= static_cast<double>(watch.minutes) * 60.0) {
            cpu_accum[i] = 0.0;
            due.push_back({watch.task_id, TriggerKind::cpu, watch.action});
        }
    }
    return due;
}

}  // namespace snv::engine
