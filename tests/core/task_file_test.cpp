#include "model/task_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "model/task_reader.h"
#include "model/task_writer.h"
#include "support/model_builders.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace snv::model {
namespace {

namespace fs = std::filesystem;
using test::file_bytes;
using test::put_file;
using test::task;
using test::TempFolder;
using test::trigger;

const std::string kEmptyFile = "{\n  \"version\": 1,\n  \"tasks\": []\n}";

// The real file system, with steps that a test can make fail or interleave with.
class ScriptedFiles final : public os::Files {
  public:
    std::function<os::Status(const os::NativePath&, std::string_view)> on_write_file;
    std::function<os::Status(const os::NativePath&, const os::NativePath&)> on_replace;
    std::function<os::Status(const os::NativePath&, std::string_view)> on_overwrite;

    os::Result<std::string> read_file(const os::NativePath& p) override {
        return real().read_file(p);
    }
    os::Status write_file(const os::NativePath& p, std::string_view b) override {
        return on_write_file ? on_write_file(p, b) : real().write_file(p, b);
    }
    os::Status replace_file(const os::NativePath& f, const os::NativePath& t) override {
        return on_replace ? on_replace(f, t) : real().replace_file(f, t);
    }
    os::Status overwrite_file(const os::NativePath& p, std::string_view b) override {
        return on_overwrite ? on_overwrite(p, b) : real().overwrite_file(p, b);
    }
    os::Status remove_file(const os::NativePath& p) override { return real().remove_file(p); }
    os::Status create_folders(const os::NativePath& p) override { return real().create_folders(p); }

  private:
    static os::Files& real() { return os::real_files(); }
};

os::Status refuse(auto&&...) {
    return std::unexpected(os::Error::os(5, "Access is denied"));
}

TaskFile two_tasks() {
    TaskFile f;
    f.tasks.push_back(task("a", Action::lock, trigger(Trigger::Idle{5})));
    f.tasks.push_back(task("b", Action::sleep, trigger(Trigger::Cpu{90, 3, true})));
    return f;
}

TEST(TaskFile, LoadingWhatCannotBeReadGivesNoTasksAndTouchesNothing) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    EXPECT_EQ(load_task_file(path.native()), TaskFile{});
    EXPECT_FALSE(fs::exists(path));
    for (const std::string bad : {"", "  \n", "\xef\xbb\xbf{}", "{} {}", "{\"tasks\":[1]}",
                                  "{\"tasks\":[{\"id\":\"a\"}]}"}) {
        put_file(path, bad);
        EXPECT_EQ(load_task_file(path.native()), TaskFile{}) << bad;
        EXPECT_EQ(file_bytes(path), bad);
    }
    EXPECT_EQ(load_task_file(dir.path().native()), TaskFile{});  // a folder
}

TEST(TaskFile, SaveWritesVersionOneAndLoadGivesTheSameTasks) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, R"({"version":3,"tasks":[{"id":"a","enabled":true,"action":"lock",
        "trigger":{"type":"idle","minutes":5,"extra":1},"unknown":[1]}]})");
    TaskFile file = load_task_file(path.native());
    EXPECT_EQ(file.version, 3u);
    ASSERT_EQ(file.tasks.size(), 1u);
    ASSERT_TRUE(save_task_file(file, path.native()));
    EXPECT_EQ(file.version, 1u);
    EXPECT_EQ(file_bytes(path), write_task_file(file));
    EXPECT_EQ(file_bytes(path).find("extra"), std::string::npos);
    EXPECT_EQ(file_bytes(path).find("unknown"), std::string::npos);
    EXPECT_EQ(load_task_file(path.native()), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));

    TaskFile none;
    none.version = 9;
    ASSERT_TRUE(save_task_file(none, path.native()));
    EXPECT_EQ(file_bytes(path), kEmptyFile);
}

TEST(TaskFile, SaveCreatesMissingFoldersAndReplacesAnOldTemporaryFile) {
    TempFolder dir;
    const auto path = dir.path() / "a" / "b" / "tasks.json";
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native()));
    EXPECT_EQ(load_task_file(path.native()), file);
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));

    put_file(path.string() + ".tmp", "left over from a failed save, and longer than the text");
    TaskFile none;
    ASSERT_TRUE(save_task_file(none, path.native()));
    EXPECT_EQ(file_bytes(path), kEmptyFile);
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

TEST(TaskFile, SaveFailsWithoutWritingWhenTheFolderCannotBeMade) {
    TempFolder dir;
    put_file(dir.file("plain"), "x");
    const auto path = dir.path() / "plain" / "sub" / "tasks.json";
    TaskFile file = two_tasks();
    EXPECT_FALSE(save_task_file(file, path.native()));
    EXPECT_EQ(file_bytes(dir.file("plain")), "x");
}

TEST(TaskFile, FailedTemporaryWriteLeavesTheTargetAlone) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    ScriptedFiles files;
    files.on_write_file = refuse<const os::NativePath&, std::string_view>;
    TaskFile file = two_tasks();
    EXPECT_FALSE(save_task_file(file, path.native(), files));
    EXPECT_EQ(file_bytes(path), "old");
}

TEST(TaskFile, FailedRenameFallsBackToTheDirectWrite) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    ScriptedFiles files;
    files.on_replace = refuse<const os::NativePath&, const os::NativePath&>;
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native(), files));
    EXPECT_EQ(file_bytes(path), write_task_file(file));
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));

    // Both fail: the error of the direct write, the old content in place, no temporary left.
    files.on_overwrite = refuse<const os::NativePath&, std::string_view>;
    TaskFile none;
    auto result = save_task_file(none, path.native(), files);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, 5u);
    EXPECT_EQ(file_bytes(path), write_task_file(file));
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFile, RemovesTheFirstTemporaryTaskWithTheId) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    TaskFile file = two_tasks();
    file.tasks[0].temporary = true;
    file.tasks.push_back(file.tasks[0]);  // a later task with the same id stays
    ASSERT_TRUE(save_task_file(file, path.native()));

    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "b"), false);  // not temporary
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "zz"), false);
    EXPECT_EQ(load_task_file(path.native()), file);

    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a"), true);
    TaskFile left = load_task_file(path.native());
    ASSERT_EQ(left.tasks.size(), 2u);
    EXPECT_EQ(left.tasks[0].id, "b");
    EXPECT_EQ(left.tasks[1].id, "a");

    const std::string bad = "{\"tasks\":[";
    put_file(path, bad);
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a"), false);
    EXPECT_EQ(file_bytes(path), bad);
}

// The desktop program saves the file while the removal is under way: its task survives.
TEST(TaskFile, RemovalRedoneWhenTheFileChangesMeanwhile) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    TaskFile file = two_tasks();
    file.tasks[0].temporary = true;
    ASSERT_TRUE(save_task_file(file, path.native()));

    TaskFile theirs = file;
    theirs.tasks.push_back(task("new", Action::restart, trigger(Trigger::Idle{9})));
    int writes = 0;
    ScriptedFiles files;
    files.on_write_file = [&](const os::NativePath& p, std::string_view bytes) {
        if (writes++ == 0) put_file(path, write_task_file(theirs));
        return os::real_files().write_file(p, bytes);
    };
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a", files), true);
    EXPECT_EQ(writes, 2);
    TaskFile left = load_task_file(path.native());
    ASSERT_EQ(left.tasks.size(), 2u);
    EXPECT_EQ(left.tasks[0].id, "b");
    EXPECT_EQ(left.tasks[1].id, "new");
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFile, RemovalGivesUpWhenTheFileNeverSettles) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    TaskFile file = two_tasks();
    file.tasks[0].temporary = true;
    ASSERT_TRUE(save_task_file(file, path.native()));
    int writes = 0;
    ScriptedFiles files;
    files.on_write_file = [&](const os::NativePath& p, std::string_view bytes) {
        TaskFile changed = file;
        changed.tasks[1].name = "edit " + std::to_string(writes++);
        put_file(path, write_task_file(changed));
        return os::real_files().write_file(p, bytes);
    };
    EXPECT_FALSE(remove_temporary_task_from_file(path.native(), "a", files));
    TaskFile left = load_task_file(path.native());
    ASSERT_EQ(left.tasks.size(), 2u);  // the last edit stands, nothing lost
    EXPECT_EQ(left.tasks[1].name, "edit " + std::to_string(writes - 1));
}

#ifdef _WIN32
// Real Windows file-sharing situations: another program has tasks.json open.
class HeldOpen {
  public:
    HeldOpen(const fs::path& path, DWORD share) {
        handle_ = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~HeldOpen() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST(TaskFileWindows, SaveOverAFileHeldOpenWithDeleteSharing) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    HeldOpen other(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(other.ok());
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native()));
    EXPECT_EQ(load_task_file(path.native()), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAFileHeldOpenWithoutDeleteSharingWritesInPlace) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    HeldOpen other(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(other.ok());
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native()));
    EXPECT_EQ(load_task_file(path.native()), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAFileHeldWithoutAnySharingFailsAndLosesNothing) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    {
        HeldOpen other(path, FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        TaskFile file = two_tasks();
        EXPECT_FALSE(save_task_file(file, path.native()));
    }
    EXPECT_EQ(file_bytes(path), "old");
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAReadOnlyFile) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    put_file(path, "old");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    TaskFile file = two_tasks();
    auto result = save_task_file(file, path.native());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Windows refuses every step; a host that lets the owner write anyway (Wine as root) ends
    // with the new text. Either way the file holds one whole version and no temporary stays.
    if (result) {
        EXPECT_EQ(load_task_file(path.native()), file);
    } else {
        EXPECT_EQ(file_bytes(path), "old");
    }
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}
#endif

}  // namespace
}  // namespace snv::model
