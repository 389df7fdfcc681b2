// The cost of an idle tick (no reload, no due task) on the real operating system, beside its
// floor: the planner's two attribute queries and the clock reads that a tick makes.
//
//   tick_bench [TICKS]      TICKS idle ticks (default 300), then the floor as often
//
// The monotonic clock is the real one moved on by one second after each tick, so that the
// probe (every 5 s) and the processor sample (every 3 s) come at their real rate without the
// bench sleeping. Instructions per tick:
//   valgrind --tool=callgrind --toggle-collect='*idle_ticks*' build/native/bench/tick_bench
//   valgrind --tool=callgrind --toggle-collect='*floor_reads*' build/native/bench/tick_bench
// and divide each Ir total by TICKS. System calls per tick:
//   strace -c -f build/native/bench/tick_bench 300 --ticks-only
// less the count of a run without idle ticks, `tick_bench 0 --ticks-only`.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "os/clock.h"
#include "os/file_system.h"
#include "process_data_dir.h"
#include "real_environment.h"

namespace {

using namespace snv;

// The real clocks, the monotonic one moved on by whatever the bench lets pass; counts reads.
class FastForwardClock final : public os::Clock {
  public:
    explicit FastForwardClock(os::Clock& real) : real_(real) {}
    os::MonotonicTime monotonic_now() override {
        ++monotonic_reads;
        return real_.monotonic_now() + skipped;
    }
    os::LocalTime local_now() override {
        ++local_reads;
        return real_.local_now();
    }
    void sleep_for(std::chrono::nanoseconds duration) override { real_.sleep_for(duration); }

    std::chrono::nanoseconds skipped{0};
    long monotonic_reads = 0;
    long local_reads = 0;

  private:
    os::Clock& real_;
};

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Tasks that are planned today but never come due while the bench runs.
const char* kTasks = R"({"version": 1, "tasks": [
  {"id": "a", "enabled": true, "action": "lock",
   "trigger": {"type": "daily", "time": "03:00", "start": "2025-01-01"}},
  {"id": "b", "enabled": true, "action": "lock", "trigger": {"type": "idle", "minutes": 100000}},
  {"id": "c", "enabled": true, "action": "lock",
   "trigger": {"type": "cpu", "percent": 101, "minutes": 60, "below": false}}
]})";

__attribute__((noinline)) void idle_ticks(engine::Engine& engine, FastForwardClock& clock,
                                          long ticks) {
    for (long i = 0; i < ticks; ++i) {
        engine.tick();
        clock.skipped += std::chrono::seconds(1);
    }
}

__attribute__((noinline)) std::uint64_t floor_reads(os::Clock& clock, os::FileSystem& files,
                                                    const os::NativePath& tasks,
                                                    const os::NativePath& settings, long ticks,
                                                    long monotonic_per_tick, long local_per_tick) {
    std::uint64_t sink = 0;
    for (long i = 0; i < ticks; ++i) {
        sink += files.last_write(tasks).value_or(0);
        sink += files.last_write(settings).value_or(0);
        for (long m = 0; m < monotonic_per_tick; ++m) sink += clock.monotonic_now().count();
        for (long l = 0; l < local_per_tick; ++l) sink += clock.local_now().second;
    }
    return sink;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::atol(argv[1]) : 300;
    const bool ticks_only = argc > 2 && std::string_view(argv[2]) == "--ticks-only";

    const auto dir = std::filesystem::temp_directory_path() / "snv-tick-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    write(dir / "tasks.json", kTasks);
    write(dir / "settings.json", R"({"countdown": {"seconds": 30}})");
    svc::process_data_dir().set(dir.native());

    const svc::RealEnvironment real;
    FastForwardClock clock(real.env().clock);
    const engine::EngineEnv& e = real.env();
    engine::Engine engine(engine::EngineEnv{clock, e.processor_times, e.files, e.sessions,
                                            e.launcher, e.power, e.process, e.history, e.data_dir});
    engine.tick();  // the first tick reloads and takes the first sample
    if (engine.day_plan.alarms.size() + engine.day_plan.idle.size() + engine.day_plan.cpu.size() !=
        3) {
        std::printf("warning: the plan is not the one meant\n");
    }
    const auto loaded = engine.last_reload;
    clock.skipped += std::chrono::seconds(1);
    clock.monotonic_reads = clock.local_reads = 0;

    auto start = std::chrono::steady_clock::now();
    idle_ticks(engine, clock, ticks);
    const double tick_time = seconds_since(start);
    if (engine.last_reload != loaded || !engine.pending.empty()) {
        std::printf("warning: a tick reloaded or queued something\n");
    }
    if (ticks_only || ticks == 0) {
        std::filesystem::remove_all(dir);
        return 0;
    }

    const long monotonic = (clock.monotonic_reads + ticks / 2) / ticks;
    const long local = (clock.local_reads + ticks / 2) / ticks;
    std::printf(
        "%ld idle ticks: %.2f us per tick; per tick %.2f monotonic and %.2f local clock "
        "reads\n",
        ticks, tick_time / ticks * 1e6, double(clock.monotonic_reads) / ticks,
        double(clock.local_reads) / ticks);

    start = std::chrono::steady_clock::now();
    const std::uint64_t sink =
        floor_reads(real.env().clock, e.files, os::join(dir.native(), "tasks.json"),
                    os::join(dir.native(), "settings.json"), ticks, monotonic, local);
    const double floor_time = seconds_since(start);
    std::printf(
        "floor (2 stamps, %ld monotonic and %ld local reads): %.2f us per tick "
        "(checksum %llu)\n",
        monotonic, local, floor_time / ticks * 1e6, static_cast<unsigned long long>(sink % 1000));
    std::filesystem::remove_all(dir);
    return 0;
}
