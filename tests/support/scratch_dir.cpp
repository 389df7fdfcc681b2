#include "support/scratch_dir.h"

#include <atomic>
#include <fstream>
#include <random>
#include <string>

namespace snv::test {

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("snv-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void write_file(const std::filesystem::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void set_last_write(const std::filesystem::path& path, std::chrono::seconds unix_seconds) {
    const std::chrono::sys_seconds at{unix_seconds};
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(at));
}

}  // namespace snv::test
