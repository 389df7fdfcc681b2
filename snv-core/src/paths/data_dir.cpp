#include "paths/data_dir.h"

#include <array>
#include <string_view>

#include "product.h"

namespace snv::paths {

namespace {

// In the order of the copy.
constexpr std::array<std::string_view, 4> kDataFiles = {"tasks.json", "settings.json",
                                                        "history.redb", "history.jsonl"};

constexpr std::string_view kDefaultMachineBase = "C:\\ProgramData";

bool is_folder(os::FileSystem& fs, const os::NativePath& path) {
    auto m = fs.metadata(path);
    return m && m->kind == os::EntryKind::folder;
}

}  // namespace

const os::NativePath* DataDir::get() {
    if (const os::NativePath* folder = fixed_.load(std::memory_order_acquire)) return folder;
    std::lock_guard lock(mutex_);
    if (const os::NativePath* folder = fixed_.load(std::memory_order_relaxed)) return folder;
    std::optional<os::NativePath> resolved = resolve_data_dir(env_, fs_);
    if (!resolved) return nullptr;
    folder_ = std::move(*resolved);
    fixed_.store(&*folder_, std::memory_order_release);
    return &*folder_;
}

void DataDir::set(os::NativePath folder) {
    (void)fs_.create_folder_all(folder);
    std::lock_guard lock(mutex_);
    if (fixed_.load(std::memory_order_relaxed) != nullptr) return;
    folder_ = std::move(folder);
    fixed_.store(&*folder_, std::memory_order_release);
}

std::optional<os::NativePath> resolve_data_dir(os::Environment& env, os::FileSystem& fs) {
    if (auto folder = env.variable("SNV_DATA_DIR"); folder && !folder->empty()) {
        (void)fs.create_folder_all(*folder);
        return folder;
    }
    os::NativePath base;
    if (auto local = env.variable("LOCALAPPDATA")) {
        base = std::move(*local);
    } else if (auto temp = env.temp_folder()) {
        base = std::move(*temp);
    } else {
        return std::nullopt;
    }
    os::NativePath new_dir = os::join(base, kProductFolder);
    if (fs.metadata(new_dir)) return new_dir;

    os::NativePath legacy_base =
        env.variable("ProgramData").value_or(os::to_native(kDefaultMachineBase));
    os::NativePath legacy = os::join(legacy_base, kProductFolder);
    (void)fs.create_folder_all(new_dir);
    migrate_legacy_data(new_dir, legacy, fs);
    return new_dir;
}

void migrate_legacy_data(const os::NativePath& new_dir, const os::NativePath& legacy,
                         os::FileSystem& fs) {
    if (!is_folder(fs, legacy)) return;
    for (std::string_view name : kDataFiles) {
        os::NativePath from = os::join(legacy, name);
        auto m = fs.metadata(from);
        if (!m || m->kind == os::EntryKind::folder) continue;
        (void)fs.copy_file_new(from, os::join(new_dir, name));
    }
    auto m = fs.metadata(legacy);
    if (!m) return;
    // 0 and all ones are the "no time" marks of the platform, never a real creation time.
    if (m->creation_time == 0 || m->creation_time == ~std::uint64_t{0}) return;
    (void)fs.set_folder_creation_time(new_dir, m->creation_time);
}

}  // namespace snv::paths
