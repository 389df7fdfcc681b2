#include "support/desktop_program.h"

#include <chrono>

#include "support/temp_folder.h"

namespace snv::test {

namespace {

// Waits up to 30 s for `path` to exist.
bool wait_for(const std::filesystem::path& path) {
    for (int i = 0; i < 1500; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

HeldByChild::HeldByChild(const std::string& kind, const std::string& name,
                         const std::filesystem::path& folder)
    : folder_(folder) {
    std::filesystem::create_directories(folder_);
    std::filesystem::remove(folder_ / "held");
    std::filesystem::remove(folder_ / "release");
    child_ = std::thread([this, kind, name] {
        run_ = run_child(built_program("holder"), {kind, name, os_form(folder_)});
    });
    held_ = wait_for(folder_ / "held");
}

HeldByChild::~HeldByChild() {
    release();
}

int HeldByChild::release() {
    if (!released_) {
        released_ = true;
        write_file(folder_ / "release", "");
        child_.join();
    }
    return run_.exit_code;
}

void install_duskpanel_standin(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(build_path("standin/Duskpanel.exe"), folder / "Duskpanel.exe",
                               std::filesystem::copy_options::overwrite_existing);
}

std::string wait_for_standin_record(const std::filesystem::path& folder) {
    if (!wait_for(folder / "started.txt")) return {};
    return read_file(folder / "started.txt");
}

}  // namespace snv::test
