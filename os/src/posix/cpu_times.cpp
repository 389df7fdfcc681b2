#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "os/cpu_times.h"

namespace snv::os {

namespace {

// Linux counts processor time in clock ticks per state; Windows folds the states into idle,
// kernel (idle included) and user. The stand-in maps them the same way.
class ProcStatTimes final : public ProcessorTimes {
  public:
    std::optional<CpuTimes> read() override {
        std::FILE* f = std::fopen("/proc/stat", "r");
        if (f == nullptr) return std::nullopt;
        char line[512] = {};
        const bool got = std::fgets(line, sizeof line, f) != nullptr;
        std::fclose(f);
        if (!got) return std::nullopt;

        unsigned long long v[8] = {};  // user nice system idle iowait irq softirq steal
        const int n = std::sscanf(line, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1],
                                  &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
        if (n < 4) return std::nullopt;
        const long hz = sysconf(_SC_CLK_TCK);
        if (hz <= 0) return std::nullopt;
        const std::uint64_t unit = 10'000'000ULL / static_cast<std::uint64_t>(hz);

        CpuTimes t;
        t.idle = (v[3] + v[4]) * unit;
        t.kernel = (v[2] + v[5] + v[6] + v[7]) * unit + t.idle;
        t.user = (v[0] + v[1]) * unit;
        return t;
    }
};

}  // namespace

ProcessorTimes& real_processor_times() {
    static ProcStatTimes times;
    return times;
}

}  // namespace snv::os
