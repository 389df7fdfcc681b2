// The console run's idle ticks on the real OS: resident memory after N ticks and the CPU time
// they take, as CPU seconds per hour of running (3600 ticks).
//
//   idle_run_bench [TICKS]     default 3600
//   idle_run_bench --sleep-only   sleeps a second at a time until killed: the floor that
//                                 bench/real_run.sh sets beside the real runs
//
// The real engine and the console loop, over the real OS, except that the one-second sleep
// between ticks passes at once: the engine's monotonic clock still moves a second per tick, so
// the probe (every 5 s), the processor sample (every 3 s) and the hourly reload come as often
// per tick as in a real run. The data folder is a fresh copy of the demo's, whose tasks are not
// due. bench/real_run.sh measures the real processes over real time instead.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "console.h"
#include "engine_run.h"
#include "history/history_log.h"
#include "os/cpu_times.h"
#include "os/environment.h"
#include "os/file_system.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/process.h"
#include "os/sessions.h"
#include "redb/storage_backend.h"

namespace {

using namespace snv;

// The real clock whose sleeps pass at once and move its monotonic time instead.
class FastClock final : public os::Clock {
  public:
    os::MonotonicTime monotonic_now() override {
        return os::real_clock().monotonic_now() + skipped_;
    }
    os::LocalTime local_now() override { return os::real_clock().local_now(); }
    void sleep_for(std::chrono::nanoseconds duration) override { skipped_ += duration; }

  private:
    os::MonotonicTime skipped_{};
};

class NullConsole final : public os::Console {
  public:
    std::size_t bytes = 0;
    void write_out(std::string_view text) override { bytes += text.size(); }
    void write_err(std::string_view text) override { bytes += text.size(); }
};

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string status_line(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return line;
    }
    return std::string(key) + " ?";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--sleep-only") {
        for (;;) os::real_clock().sleep_for(std::chrono::seconds(1));
    }
    const long ticks = argc > 1 ? std::atol(argv[1]) : 3600;
    const std::filesystem::path data =
        std::filesystem::temp_directory_path() / "snv-idle-run-bench";
    std::filesystem::remove_all(data);
    std::filesystem::copy(std::filesystem::path(SNV_SOURCE_DIR) / "demo" / "data", data);

    FastClock clock;
    os::FileSystem& files = os::real_file_system();
    paths::DataDir data_dir(os::real_environment(), files);
    data_dir.set(data.native());
    history::HistoryLog history(clock, files, data_dir, redb::open_file_backend);
    engine::EngineEnv env{clock,
                          os::real_processor_times(),
                          files,
                          os::real_sessions(),
                          os::real_launcher(),
                          os::real_power(),
                          os::real_process(),
                          history,
                          data_dir};
    engine::Engine engine(env);
    NullConsole console;
    svc::ConsoleLoop loop(
        engine, [&] { engine.tick(); }, clock, console);

    loop.pass();  // the first reload and print are not idle
    const double cpu_before = cpu_seconds();
    const auto wall_before = std::chrono::steady_clock::now();
    for (long i = 0; i < ticks; ++i) loop.pass();
    const double cpu = cpu_seconds() - cpu_before;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();

    std::printf("idle ticks: %ld (%zu bytes printed)\n", ticks, console.bytes);
    std::printf("CPU: %.4f s in all, %.2f us per tick, %.4f s per hour (3600 ticks)\n", cpu,
                cpu / static_cast<double>(ticks) * 1e6, cpu / static_cast<double>(ticks) * 3600);
    std::printf("wall: %.3f s\n", wall);
    std::printf("%s\n%s\n", status_line("VmRSS").c_str(), status_line("VmHWM").c_str());
    std::filesystem::remove_all(data);
    return 0;
}
