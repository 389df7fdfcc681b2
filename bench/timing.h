#pragma once

// What the benchmarks share: medians of runs in milliseconds, the wall time of a command, and
// the redb interop tool to set beside our library.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace snv::bench {

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double millis(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// A shell command's wall time; one that fails is reported, and timed all the same.
inline double time_command(const std::string& cmd) {
    return millis([&] {
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    });
}

// The interop tool that the build names (SNV_ORACLE), unless the first argument names another.
inline std::string interop_tool(int argc, char** argv) {
    return argc > 1 ? argv[1] : SNV_ORACLE;
}

}  // namespace snv::bench
