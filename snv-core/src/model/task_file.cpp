#include "model/task_file.h"

#include <algorithm>
#include <functional>
#include <string>

#include "model/task_reader.h"
#include "model/task_writer.h"

namespace snv::model {

namespace {

// How often a removal is redone when tasks.json keeps changing under it.
constexpr int kRemovalAttempts = 5;

// The replacing write of `text`. `unchanged` runs after the temporary file is complete and
// right before the rename; when it says the target changed meanwhile, nothing is replaced.
enum class Outcome { saved, target_changed };

os::Result<Outcome> write_through_temporary(const std::string& text, const os::NativePath& path,
                                            os::FileSystem& files,
                                            const std::function<bool()>& unchanged) {
    if (auto folder = os::folder_of(path); !folder.empty()) {
        if (auto made = files.create_folder_all(folder); !made)
            return std::unexpected(made.error());
    }
    const os::NativePath temporary = path + os::to_native(".tmp");
    if (auto written = files.write_file(temporary, text); !written) {
        return std::unexpected(written.error());
    }
    if (unchanged && !unchanged()) {
        (void)files.remove_file(temporary);
        return Outcome::target_changed;
    }
    if (files.replace_file(temporary, path)) return Outcome::saved;
    // The rename's own error is dropped: the direct write decides the result.
    auto direct = files.overwrite_file(path, text, kTaskFileMaxBytes);
    (void)files.remove_file(temporary);
    if (!direct) return std::unexpected(direct.error());
    return Outcome::saved;
}

// The pretty text, when the next load would read it: tasks that another program wrote short
// come out longer, and a text over the limit is not written (the file stays as it was).
os::Result<std::string> pretty_text(const TaskFile& file) {
    auto text = write_task_file(file, kTaskFileMaxBytes);
    if (!text) return std::unexpected(os::file_too_large(kTaskFileMaxBytes));
    return std::move(*text);
}

}  // namespace

TaskFile load_task_file(const os::NativePath& path, os::FileSystem& files) {
    auto bytes = files.read_file(path, kTaskFileMaxBytes);
    if (!bytes) return {};
    auto file = read_task_file(*bytes);
    if (!file) return {};
    return std::move(*file);
}

os::Status save_task_file(TaskFile& file, const os::NativePath& path, os::FileSystem& files) {
    file.version = 1;
    // The whole text is made before any file is touched.
    auto text = pretty_text(file);
    if (!text) return std::unexpected(text.error());
    auto saved = write_through_temporary(*text, path, files, nullptr);
    if (!saved) return std::unexpected(saved.error());
    return {};
}

os::Result<bool> remove_temporary_task_from_file(const os::NativePath& path, std::string_view id,
                                                 os::FileSystem& files) {
    for (int attempt = 0; attempt < kRemovalAttempts; ++attempt) {
        auto bytes = files.read_file(path, kTaskFileMaxBytes);
        if (!bytes) return false;
        auto file = read_task_file(*bytes);
        if (!file) return false;
        auto& tasks = file->tasks;
        auto it = std::find_if(tasks.begin(), tasks.end(),
                               [&](const Task& task) { return task.id == id; });
        if (it == tasks.end() || !it->temporary) return false;
        tasks.erase(it);
        file->version = 1;
        auto unchanged = [&] {
            auto now = files.read_file(path, kTaskFileMaxBytes);
            return now && *now == *bytes;
        };
        auto text = pretty_text(*file);
        if (!text) return std::unexpected(text.error());
        auto saved = write_through_temporary(*text, path, files, unchanged);
        if (!saved) return std::unexpected(saved.error());
        if (*saved == Outcome::saved) return true;
    }
    return std::unexpected(os::Error::own("tasks.json kept changing during the removal"));
}

}  // namespace snv::model
