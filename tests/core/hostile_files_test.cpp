// What another program may leave in the data folder: files far too long, FIFOs, links. Each
// data file is read up to a limit of its own: a file at the limit is used, one a byte longer
// counts as unreadable, as a missing one does, and is left where it is; so does a FIFO, at once.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "history/history_log.h"
#include "history/legacy_import.h"
#include "model/settings_file.h"
#include "model/task_file.h"
#include "support/fake_engine_env.h"
#include "support/host_shell.h"
#include "support/temp_folder.h"

namespace snv::test {
namespace {

namespace fs = std::filesystem;

os::FileSystem& real_fs = os::real_file_system();

// `json` followed by blanks up to `size` bytes: white space after the value is allowed.
std::string padded(const std::string& json, std::uint64_t size) {
    return json + std::string(size - json.size(), ' ');
}

struct LimitCase {
    const char* file;
    std::uint64_t limit;
    std::string json;
    // Whether the file was used, judged by what the system made of it.
    std::function<bool(const fs::path& folder)> used;
};

TEST(HostileFiles, AFileAtTheLimitIsUsedOneByteLongerIsUnreadable) {
    const std::string lock_task =
        R"({"version":1,"tasks":[{"id":"a","enabled":true,"action":"lock",)"
        R"("trigger":{"type":"idle","minutes":5}}]})";
    const std::string entry = R"({"time":"2026-03-14T22:00:05","kind":"executed"})";
    const LimitCase cases[] = {
        {"tasks.json", model::kTaskFileMaxBytes, lock_task,
         [](const fs::path& folder) {
             return model::load_task_file((folder / "tasks.json").native(), real_fs).tasks.size() ==
                    1;
         }},
        {"settings.json", model::kSettingsFileMaxBytes, R"({"paused":true})",
         [](const fs::path& folder) {
             return model::load_settings((folder / "settings.json").native(), real_fs).paused;
         }},
        // The lines of history.jsonl are imported at the next append, and the file deleted;
        // an unreadable one stays for a later append, which stores its own entry all the same.
        {"history.jsonl", history::kLegacyHistoryMaxBytes, entry + "\n",
         [](const fs::path& folder) {
             FakeEngineEnv seams;  // the real history log on real files
             const fs::path db = folder / "history.redb";
             fs::remove(db);
             EXPECT_TRUE(seams.history.append_history_text(db.native(), "own"));
             return !fs::exists(folder / "history.jsonl");
         }},
    };
    for (const LimitCase& c : cases) {
        for (std::uint64_t size : {c.limit, c.limit + 1}) {
            SCOPED_TRACE(std::string(c.file) + " of " + std::to_string(size) + " bytes");
            TempFolder folder("hostile-files");
            const std::string content = padded(c.json, size);
            write_file(folder / c.file, content);
            EXPECT_EQ(c.used(folder.path()), size <= c.limit);
            if (size > c.limit) {
                EXPECT_EQ(read_file(folder / c.file), content);
            }
        }
    }
}

TEST(HostileFiles, AFifoInPlaceOfADataFileIsUnreadableAndNeverWaitedOn) {
    TempFolder folder("hostile-files");
    {
        const HostFifo tasks(folder / "tasks.json");
        const HostFifo settings(folder / "settings.json");
        ASSERT_TRUE(tasks.made() && settings.made());
        EXPECT_EQ(model::load_task_file((folder / "tasks.json").native(), real_fs),
                  model::TaskFile{});
        EXPECT_EQ(model::load_settings((folder / "settings.json").native(), real_fs),
                  model::Settings{});
    }
    // The append goes on past it, and it stays.
    const HostFifo legacy(folder / "history.jsonl");
    ASSERT_TRUE(legacy.made());
    FakeEngineEnv seams;  // the real history log on real files
    EXPECT_TRUE(seams.history.append_history_text((folder / "history.redb").native(), "own"));
    EXPECT_EQ(run_host_shell("test -p '" + host_path(folder / "history.jsonl") + "'"), 0);
}

// history.redb as a second name of a file elsewhere: the append fails, and neither an empty
// file nor a database there gains a byte.
TEST(HostileFiles, AHardLinkAtHistoryRedbIsNeverWrittenThrough) {
    TempFolder folder("hostile-files");
    fs::create_directories(folder / "elsewhere");
    fs::create_directories(folder / "data");
    FakeEngineEnv seams;  // the real history log on real files
    const fs::path database = folder / "elsewhere" / "database.redb";
    ASSERT_TRUE(seams.history.append_history_text(database.native(), "theirs"));
    write_file(folder / "elsewhere" / "empty", "");
    for (const fs::path& target : {folder / "elsewhere" / "empty", database}) {
        SCOPED_TRACE(target.filename().string());
        const fs::path link = folder / "data" / "history.redb";
        fs::remove(link);
        fs::create_hard_link(target, link);
        const std::string before = read_file(target);
        EXPECT_FALSE(seams.history.append_history_text(link.native(), "ours"));
        EXPECT_EQ(read_file(target), before);
    }
}

// Only a file of its own at history.jsonl is imported: a symbolic link, a second name of a file
// elsewhere, a folder or a FIFO there counts as unreadable. Nothing is imported or removed, the
// append stores its own entry, and the file elsewhere stays as it was.
TEST(HostileFiles, HistoryJsonlIsImportedOnlyAsAFileOfItsOwn) {
    const std::string line = R"({"time":"2026-03-14T22:00:05","kind":"executed","detail":"x"})";
    struct Case {
        const char* name;
        std::string plant;  // a command of the host's shell; {T} the file elsewhere, {P} the path
        std::string still;  // a test of the host's shell that the planted thing is still there
    } cases[] = {
#ifndef _WIN32
        // Wine shows a symbolic link of the host as the file it names, not as a link.
        {"symbolic link", "ln -s {T} {P}", "test -L {P}"},
#endif
        {"hard link", "ln {T} {P}", "test {P} -ef {T}"},
        {"folder", "mkdir {P}", "test -d {P}"},
        {"FIFO", "mkfifo {P}", "test -p {P}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder("hostile-files");
        fs::create_directories(folder / "elsewhere");
        fs::create_directories(folder / "data");
        const fs::path target = folder / "elsewhere" / "history.jsonl";
        const fs::path planted = folder / "data" / "history.jsonl";
        write_file(target, line + "\n");
        const auto shell = [&](std::string command) {
            for (auto [mark, path] : {std::pair{"{T}", &target}, std::pair{"{P}", &planted}}) {
                for (std::size_t at; (at = command.find(mark)) != std::string::npos;)
                    command.replace(at, 3, "'" + host_path(*path) + "'");
            }
            return run_host_shell(command);
        };
        ASSERT_EQ(shell(c.plant), 0);

        FakeEngineEnv seams;  // the real history log on real files
        const fs::path db = folder / "data" / "history.redb";
        EXPECT_TRUE(seams.history.append_history_text(db.native(), "own"));
        EXPECT_EQ(shell(c.still), 0);
        EXPECT_EQ(read_file(target), line + "\n");
        auto opened = redb::Database::create(db);
        ASSERT_TRUE(opened) << opened.error().to_string();
        auto table = opened->begin_read()->open_table(history::kHistoryTable);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->len(), 1u);
        // Removed from the host's side: under Wine the folder's own removal would open a FIFO.
        EXPECT_EQ(shell("rm -r {P}"), 0);
    }
}

// A file that another program wrote short comes out longer in the pretty form: the removal of
// a temporary task does not write a tasks.json that the next load would refuse.
TEST(HostileFiles, ARewriteLongerThanTheLimitIsNotWritten) {
    TempFolder folder("hostile-files");
    const std::string one = R"(["","",false,"lock",["idle",1]])";
    std::string text = R"({"version":1,"tasks":[["t","",true,"lock",["idle",1],null,true])";
    while (text.size() < model::kTaskFileMaxBytes / 3) text += "," + one;
    text += "]}";
    const fs::path path = folder / "tasks.json";
    write_file(path, text);
    ASSERT_GT(model::load_task_file(path.native(), real_fs).tasks.size(), 1u);

    auto removed = model::remove_temporary_task_from_file(path.native(), "t", real_fs);
    EXPECT_FALSE(removed);
    EXPECT_EQ(read_file(path), text);
    EXPECT_FALSE(fs::exists(folder / "tasks.json.tmp"));
}

}  // namespace
}  // namespace snv::test
