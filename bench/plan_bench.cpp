// The planner's cost: a call that finds nothing changed (it runs once a second for years), and
// a reload of a 1000-task tasks.json.
//
//   plan_bench              wall times
//   plan_bench --calls N    only N calls that do not reload; run it under
//     valgrind --tool=callgrind --toggle-collect='snv::engine::refresh_day_plan*'
//   and divide the Ir total by N for the instructions per call.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/plan_reload.h"
#include "os/clock.h"
#include "os/cpu_times.h"
#include "os/file_system.h"
#include "process_data_dir.h"
#include "real_environment.h"

namespace {

using namespace snv;

std::string task_text(int i) {
    const std::string id = "\"id\": \"task-" + std::to_string(i) + "\"";
    const std::string head = "    {\n      " + id +
                             ",\n      \"name\": \"Evening task\",\n      \"enabled\": true,\n"
                             "      \"action\": \"shutdown\",\n      \"trigger\": ";
    std::string trigger;
    switch (i % 5) {
        case 0:
            trigger = R"({"type": "daily", "time": "22:00:00", "every": 2, "start": "2025-01-01"})";
            break;
        case 1:
            trigger =
                R"({"type": "weekly", "time": "07:30:00", "every": 1, "days": ["mon", "wed", "fri"], "start": "2025-01-06"})";
            break;
        case 2:
            trigger =
                R"({"type": "monthly", "time": "20:00:00", "months": [1, 7], "on": {"kind": "weekday", "nth": "last", "weekday": "fri"}})";
            break;
        case 3:
            trigger = R"({"type": "idle", "minutes": 15})";
            break;
        default:
            trigger = R"({"type": "cpu", "percent": 80, "minutes": 5, "below": false})";
            break;
    }
    return head + trigger + "\n    }";
}

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    long calls = -1;
    if (argc == 3 && std::string_view(argv[1]) == "--calls") calls = std::atol(argv[2]);

    const auto dir = std::filesystem::temp_directory_path() / "snv-plan-bench";
    std::filesystem::create_directories(dir);
    std::string tasks = "{\n  \"version\": 1,\n  \"tasks\": [\n";
    for (int i = 0; i < 1000; ++i) tasks += (i ? ",\n" : "") + task_text(i);
    tasks += "\n  ]\n}";
    write(dir / "tasks.json", tasks);
    write(dir / "settings.json", R"({"countdown": {"seconds": 30}, "paused": false})");

    const os::NativePath folder = dir.native();
    svc::process_data_dir().set(folder);
    const svc::RealEnvironment real;
    engine::Engine engine(real.env());
    const auto today = *calendar::Date::from_civil(2025, 3, 12);
    engine::refresh_day_plan(engine, today);  // the first call reloads

    if (calls >= 0) {
        for (long i = 0; i < calls; ++i) engine::refresh_day_plan(engine, today);
        std::printf("%ld calls that do not reload\n", calls);
        return 0;
    }

    constexpr long kCalls = 1'000'000;
    const auto before = *engine.last_reload;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < kCalls; ++i) engine::refresh_day_plan(engine, today);
    const double quiet = seconds_since(start);
    if (*engine.last_reload != before) std::printf("warning: a call reloaded\n");
    std::printf("refresh_day_plan without reload: %.0f ns per call (%ld calls, %.2f s)\n",
                quiet / kCalls * 1e9, kCalls, quiet);

    // For comparison: the two attribute queries alone.
    const os::NativePath tasks_path = os::join(folder, "tasks.json");
    const os::NativePath settings_path = os::join(folder, "settings.json");
    std::uint64_t sink = 0;
    start = std::chrono::steady_clock::now();
    for (long i = 0; i < kCalls; ++i) {
        sink += os::real_file_system().last_write(tasks_path).value_or(0);
        sink += os::real_file_system().last_write(settings_path).value_or(0);
    }
    const double bare = seconds_since(start);
    std::printf("the two stamps alone: %.0f ns per pair (checksum %llu)\n", bare / kCalls * 1e9,
                static_cast<unsigned long long>(sink % 1000));

    constexpr int kReloads = 200;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReloads; ++i) {
        engine.force_reload = true;
        engine::refresh_day_plan(engine, today);
    }
    const double reload = seconds_since(start);
    std::printf(
        "reload of a 1000-task tasks.json (%zu bytes): %.3f ms per reload "
        "(%zu tasks, %zu alarms, %zu idle, %zu cpu)\n",
        tasks.size(), reload / kReloads * 1e3, engine.tasks.size(), engine.day_plan.alarms.size(),
        engine.day_plan.idle.size(), engine.day_plan.cpu.size());
    std::filesystem::remove_all(dir);
    return 0;
}
