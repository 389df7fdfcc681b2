#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace snv::test {

// Sets the last-write time of `path` to `unix_seconds` after 1970-01-01 UTC.
inline void set_last_write(const std::filesystem::path& path, std::chrono::seconds unix_seconds) {
    const std::chrono::sys_seconds at{unix_seconds};
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(at));
}

// The FILETIME count (100 ns since 1601) of a time given in seconds since 1970.
constexpr std::uint64_t filetime_of(std::chrono::seconds unix_seconds) {
    return (static_cast<std::uint64_t>(unix_seconds.count()) + 11'644'473'600ULL) * 10'000'000ULL;
}

}  // namespace snv::test
