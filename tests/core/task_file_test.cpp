#include "model/task_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "model/task_reader.h"
#include "model/task_writer.h"
#include "support/fake_os.h"
#include "support/model_builders.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace snv::model {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;
using test::task;
using test::TempFolder;
using test::trigger;

const std::string kEmptyFile = "{\n  \"version\": 1,\n  \"tasks\": []\n}";

os::FileSystem& real_fs = os::real_file_system();

// Makes the calls that begin with one of `prefixes` fail.
void refuse(test::FakeFileSystem& files, std::vector<std::string> prefixes) {
    files.before = [prefixes](const std::string& call) -> os::Status {
        for (const std::string& prefix : prefixes) {
            if (call.starts_with(prefix)) {
                return std::unexpected(os::Error::os(5, "Access is denied"));
            }
        }
        return {};
    };
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
    EXPECT_EQ(load_task_file(path.native(), real_fs), TaskFile{});
    EXPECT_FALSE(fs::exists(path));
    for (const std::string bad : {"", "  \n", "\xef\xbb\xbf{}", "{} {}", "{\"tasks\":[1]}",
                                  "{\"tasks\":[{\"id\":\"a\"}]}"}) {
        write_file(path, bad);
        EXPECT_EQ(load_task_file(path.native(), real_fs), TaskFile{}) << bad;
        EXPECT_EQ(read_file(path), bad);
    }
    EXPECT_EQ(load_task_file(dir.path().native(), real_fs), TaskFile{});  // a folder
}

TEST(TaskFile, SaveWritesVersionOneAndLoadGivesTheSameTasks) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, R"({"version":3,"tasks":[{"id":"a","enabled":true,"action":"lock",
        "trigger":{"type":"idle","minutes":5,"extra":1},"unknown":[1]}]})");
    TaskFile file = load_task_file(path.native(), real_fs);
    EXPECT_EQ(file.version, 3u);
    ASSERT_EQ(file.tasks.size(), 1u);
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));
    EXPECT_EQ(file.version, 1u);
    EXPECT_EQ(read_file(path), write_task_file(file));
    EXPECT_EQ(read_file(path).find("extra"), std::string::npos);
    EXPECT_EQ(read_file(path).find("unknown"), std::string::npos);
    EXPECT_EQ(load_task_file(path.native(), real_fs), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));

    TaskFile none;
    none.version = 9;
    ASSERT_TRUE(save_task_file(none, path.native(), real_fs));
    EXPECT_EQ(read_file(path), kEmptyFile);
}

TEST(TaskFile, SaveCreatesMissingFoldersAndReplacesAnOldTemporaryFile) {
    TempFolder dir;
    const auto path = dir.path() / "a" / "b" / "tasks.json";
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));
    EXPECT_EQ(load_task_file(path.native(), real_fs), file);
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));

    write_file(path.string() + ".tmp", "left over from a failed save, and longer than the text");
    TaskFile none;
    ASSERT_TRUE(save_task_file(none, path.native(), real_fs));
    EXPECT_EQ(read_file(path), kEmptyFile);
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

TEST(TaskFile, SaveFailsWithoutWritingWhenTheFolderCannotBeMade) {
    TempFolder dir;
    write_file(dir.file("plain"), "x");
    const auto path = dir.path() / "plain" / "sub" / "tasks.json";
    TaskFile file = two_tasks();
    EXPECT_FALSE(save_task_file(file, path.native(), real_fs));
    EXPECT_EQ(read_file(dir.file("plain")), "x");
}

TEST(TaskFile, FailedTemporaryWriteLeavesTheTargetAlone) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, "old");
    test::FakeFileSystem files(real_fs);
    refuse(files, {"write "});
    TaskFile file = two_tasks();
    EXPECT_FALSE(save_task_file(file, path.native(), files));
    EXPECT_EQ(read_file(path), "old");
}

TEST(TaskFile, FailedRenameFallsBackToTheDirectWrite) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, "old");
    test::FakeFileSystem files(real_fs);
    refuse(files, {"replace "});
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native(), files));
    EXPECT_EQ(read_file(path), write_task_file(file));
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));

    // Both fail: the error of the direct write, the old content in place, no temporary left.
    refuse(files, {"replace ", "overwrite "});
    TaskFile none;
    auto result = save_task_file(none, path.native(), files);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, 5u);
    EXPECT_EQ(read_file(path), write_task_file(file));
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFile, RemovesTheFirstTemporaryTaskWithTheId) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    TaskFile file = two_tasks();
    file.tasks[0].temporary = true;
    file.tasks.push_back(file.tasks[0]);  // a later task with the same id stays
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));

    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "b", real_fs),
              false);  // not temporary
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "zz", real_fs), false);
    EXPECT_EQ(load_task_file(path.native(), real_fs), file);

    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a", real_fs), true);
    TaskFile left = load_task_file(path.native(), real_fs);
    ASSERT_EQ(left.tasks.size(), 2u);
    EXPECT_EQ(left.tasks[0].id, "b");
    EXPECT_EQ(left.tasks[1].id, "a");

    const std::string bad = "{\"tasks\":[";
    write_file(path, bad);
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a", real_fs), false);
    EXPECT_EQ(read_file(path), bad);
}

// The desktop program saves the file while the removal is under way: its task survives.
TEST(TaskFile, RemovalRedoneWhenTheFileChangesMeanwhile) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    TaskFile file = two_tasks();
    file.tasks[0].temporary = true;
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));

    TaskFile theirs = file;
    theirs.tasks.push_back(task("new", Action::restart, trigger(Trigger::Idle{9})));
    int writes = 0;
    test::FakeFileSystem files(real_fs);
    files.before = [&](const std::string& call) -> os::Status {
        if (call.starts_with("write ") && writes++ == 0) write_file(path, write_task_file(theirs));
        return {};
    };
    EXPECT_EQ(remove_temporary_task_from_file(path.native(), "a", files), true);
    EXPECT_EQ(writes, 2);
    TaskFile left = load_task_file(path.native(), real_fs);
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
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));
    int writes = 0;
    test::FakeFileSystem files(real_fs);
    files.before = [&](const std::string& call) -> os::Status {
        if (!call.starts_with("write ")) return {};
        TaskFile changed = file;
        changed.tasks[1].name = "edit " + std::to_string(writes++);
        write_file(path, write_task_file(changed));
        return {};
    };
    EXPECT_FALSE(remove_temporary_task_from_file(path.native(), "a", files));
    TaskFile left = load_task_file(path.native(), real_fs);
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
    write_file(path, "old");
    HeldOpen other(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(other.ok());
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native(), real_fs));
    EXPECT_EQ(load_task_file(path.native(), real_fs), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAFileHeldOpenWithoutDeleteSharingWritesInPlace) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, "old");
    HeldOpen other(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(other.ok());
    // No rename can replace a file held without delete sharing: the direct write must run.
    test::FakeFileSystem files(real_fs);
    TaskFile file = two_tasks();
    ASSERT_TRUE(save_task_file(file, path.native(), files));
    EXPECT_EQ(files.count("replace "), 1u);
    EXPECT_EQ(files.count("overwrite "), 1u);
    for (const std::string& call : files.calls) {
        if (call.starts_with("replace ")) {
            EXPECT_NE(call.find(" -> error "), std::string::npos) << call;
        }
    }
    EXPECT_EQ(load_task_file(path.native(), real_fs), file);
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAFileHeldWithoutAnySharingFailsAndLosesNothing) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, "old");
    {
        HeldOpen other(path, FILE_SHARE_READ);
        ASSERT_TRUE(other.ok());
        TaskFile file = two_tasks();
        EXPECT_FALSE(save_task_file(file, path.native(), real_fs));
    }
    EXPECT_EQ(read_file(path), "old");
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}

TEST(TaskFileWindows, SaveOverAReadOnlyFile) {
    TempFolder dir;
    const auto path = dir.file("tasks.json");
    write_file(path, "old");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    TaskFile file = two_tasks();
    auto result = save_task_file(file, path.native(), real_fs);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Windows refuses every step; a host that lets the owner write anyway (Wine as root) ends
    // with the new text. Either way the file holds one whole version and no temporary stays.
    if (result) {
        EXPECT_EQ(load_task_file(path.native(), real_fs), file);
    } else {
        EXPECT_EQ(read_file(path), "old");
    }
    EXPECT_FALSE(fs::exists(dir.file("tasks.json.tmp")));
}
#endif

}  // namespace
}  // namespace snv::model
