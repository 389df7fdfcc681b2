#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

namespace snv::test {

// A fresh, empty folder under the system's temporary folder, removed with everything in it
// when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes `content` to `path`, replacing what was there.
void write_file(const std::filesystem::path& path, std::string_view content);

// Sets the last-write time of `path` to `unix_seconds` after 1970-01-01 UTC.
void set_last_write(const std::filesystem::path& path, std::chrono::seconds unix_seconds);

// The FILETIME count (100 ns since 1601) of a time given in seconds since 1970.
constexpr std::uint64_t filetime_of(std::chrono::seconds unix_seconds) {
    return (static_cast<std::uint64_t>(unix_seconds.count()) + 11'644'473'600ULL) * 10'000'000ULL;
}

}  // namespace snv::test
