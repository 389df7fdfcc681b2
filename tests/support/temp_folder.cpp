#include "support/temp_folder.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#define SNV_GETPID _getpid
#else
#include <unistd.h>
#define SNV_GETPID getpid
#endif

namespace snv::test {

std::filesystem::path build_path(std::string_view relative) {
#ifdef _WIN32
    std::string root = "Z:" SNV_BINARY_DIR;
#else
    std::string root = SNV_BINARY_DIR;
#endif
    return std::filesystem::path(root) / relative;
}

std::filesystem::path built_program(std::string_view name) {
    std::string file(name);
#ifdef _WIN32
    file += ".exe";
#endif
    return build_path(file);
}

std::string os_form(const std::filesystem::path& path) {
    std::filesystem::path p = path;
    p.make_preferred();
    auto text = p.u8string();
    return std::string(text.begin(), text.end());
}

TempFolder::TempFolder(std::string_view name) {
    static std::atomic<int> counter{0};
    path_ = build_path("test-tmp") / (std::string(name) + "-" + std::to_string(SNV_GETPID()) + "-" +
                                      std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // A test may have taken its own rights away to provoke a failure.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path.string());
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace snv::test
