#include "paths/data_dir.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/fake_os.h"

namespace snv::paths {
namespace {

using test::joined;

class DataDirTest : public ::testing::Test {
  protected:
    std::optional<std::string> resolve() {
        auto dir = resolve_data_dir(env_, fs_);
        if (!dir) return std::nullopt;
        return os::to_utf8(*dir);
    }
    bool has(const std::string& path) { return fs_.entries.contains(path); }
    int count_calls(const std::string& prefix) {
        int n = 0;
        for (const auto& c : fs_.calls) n += c.starts_with(prefix) ? 1 : 0;
        return n;
    }

    test::FakeEnvironment env_;
    test::FakeFileSystem fs_;
    const std::string local_ = joined("base", "local");
    const std::string machine_ = joined("base", "machine");
    const std::string user_dir_ = joined(local_, "Somnivo");
    const std::string legacy_ = joined(machine_, "Somnivo");
};

TEST_F(DataDirTest, EnvironmentOverrideIsTakenAsItStands) {
    env_.variables = {{"SNV_DATA_DIR", "rel/dir"}, {"LOCALAPPDATA", local_}};
    EXPECT_EQ(resolve(), "rel/dir");
    EXPECT_EQ(env_.reads, std::vector<std::string>{"SNV_DATA_DIR"});
    EXPECT_EQ(fs_.calls, std::vector<std::string>{"create rel/dir"});
}

TEST_F(DataDirTest, EnvironmentOverrideNamingAFileIsKept) {
    fs_.add_file("a-file", "x");
    env_.variables = {{"SNV_DATA_DIR", "a-file"}};
    EXPECT_EQ(resolve(), "a-file");
    EXPECT_EQ(fs_.entries["a-file"].kind, os::EntryKind::file);
}

TEST_F(DataDirTest, EmptyEnvironmentOverrideIsIgnored) {
    env_.variables = {{"SNV_DATA_DIR", ""}, {"LOCALAPPDATA", local_}};
    EXPECT_EQ(resolve(), user_dir_);
    EXPECT_TRUE(has(user_dir_));
}

TEST_F(DataDirTest, BaseOfThePerUserFolder) {
    struct Case {
        std::optional<std::string> local;
        std::optional<std::string> temp;
        std::optional<std::string> expected;
    };
    const std::string temp = joined("tmp", "");  // ends with the separator, as the system says
    const Case cases[] = {
        {local_, temp, user_dir_},
        {std::nullopt, temp, joined(temp, "Somnivo")},
        {"", temp, "Somnivo"},  // set but empty: a relative folder
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        env_ = {};
        fs_.reset();
        if (c.local) env_.variables["LOCALAPPDATA"] = *c.local;
        env_.temp = c.temp;
        EXPECT_EQ(resolve(), c.expected);
    }
}

TEST_F(DataDirTest, ExistingPerUserEntryGetsNothing) {
    for (bool as_folder : {true, false}) {
        fs_.reset();
        env_.variables = {{"LOCALAPPDATA", local_}, {"ProgramData", machine_}};
        if (as_folder) {
            fs_.add_folder(user_dir_);
        } else {
            fs_.add_file(user_dir_, "");
        }
        fs_.add_folder(legacy_, 1234);
        fs_.add_file(joined(legacy_, "tasks.json"), "{}");
        EXPECT_EQ(resolve(), user_dir_);
        EXPECT_EQ(count_calls("create"), 0);
        EXPECT_EQ(count_calls("copy"), 0);
        EXPECT_EQ(count_calls("time"), 0);
    }
}

TEST_F(DataDirTest, FirstRunCopiesTheDataFilesAndTheCreationTime) {
    env_.variables = {{"LOCALAPPDATA", local_}, {"ProgramData", machine_}};
    fs_.add_folder(legacy_, 0x01d9000000000001);
    fs_.add_file(joined(legacy_, "tasks.json"), "tasks");
    fs_.add_folder(joined(legacy_, "settings.json"));
    fs_.add_file(joined(legacy_, "history.redb"), "redb");
    fs_.add_file(joined(legacy_, "history.jsonl"), "jsonl");
    fs_.add_file(joined(legacy_, "other.txt"), "other");
    auto legacy_before = fs_.entries;

    EXPECT_EQ(resolve(), user_dir_);
    EXPECT_EQ(fs_.entries[joined(user_dir_, "tasks.json")].content, "tasks");
    EXPECT_EQ(fs_.entries[joined(user_dir_, "history.redb")].content, "redb");
    EXPECT_EQ(fs_.entries[joined(user_dir_, "history.jsonl")].content, "jsonl");
    EXPECT_FALSE(has(joined(user_dir_, "settings.json")));
    EXPECT_FALSE(has(joined(user_dir_, "other.txt")));
    EXPECT_EQ(fs_.entries[user_dir_].creation_time, 0x01d9000000000001u);
    for (const auto& [path, entry] : legacy_before) {
        EXPECT_EQ(fs_.entries[path].content, entry.content) << path;
    }
    std::vector<std::string> copies;
    for (const auto& c : fs_.calls) {
        if (c.starts_with("copy")) copies.push_back(c);
    }
    EXPECT_EQ(
        copies,
        (std::vector<std::string>{
            "copy " + joined(legacy_, "tasks.json") + " " + joined(user_dir_, "tasks.json"),
            "copy " + joined(legacy_, "history.redb") + " " + joined(user_dir_, "history.redb"),
            "copy " + joined(legacy_, "history.jsonl") + " " +
                joined(user_dir_, "history.jsonl")}));
}

TEST_F(DataDirTest, DefaultMachineWideFolder) {
    env_.variables = {{"LOCALAPPDATA", local_}};
    const std::string legacy = joined("C:\\ProgramData", "Somnivo");
    fs_.add_folder(legacy, 77);
    fs_.add_file(joined(legacy, "tasks.json"), "t");
    EXPECT_EQ(resolve(), user_dir_);
    EXPECT_EQ(fs_.entries[joined(user_dir_, "tasks.json")].content, "t");
}

TEST_F(DataDirTest, NoMachineWideFolderLeavesTheNewOneEmpty) {
    env_.variables = {{"LOCALAPPDATA", local_}, {"ProgramData", machine_}};
    fs_.add_file(legacy_, "not a folder");
    EXPECT_EQ(resolve(), user_dir_);
    EXPECT_TRUE(has(user_dir_));
    EXPECT_EQ(count_calls("copy"), 0);
    EXPECT_EQ(count_calls("time"), 0);
}

TEST_F(DataDirTest, UsersFilesAreNeverReplacedAndFailuresDoNotStopTheCopy) {
    // The per-user folder is there but could not be seen, so the copy runs over it.
    env_.variables = {{"LOCALAPPDATA", local_}, {"ProgramData", machine_}};
    fs_.add_folder(user_dir_);
    fs_.metadata_fails.insert(user_dir_);
    fs_.add_file(joined(user_dir_, "tasks.json"), "mine");
    fs_.add_folder(legacy_, 99);
    fs_.add_file(joined(legacy_, "tasks.json"), "old");
    fs_.add_file(joined(legacy_, "settings.json"), "s");
    fs_.add_file(joined(legacy_, "history.redb"), "r");
    fs_.copy_fails.insert(joined(legacy_, "settings.json"));
    EXPECT_EQ(resolve(), user_dir_);
    EXPECT_EQ(fs_.entries[joined(user_dir_, "tasks.json")].content, "mine");
    EXPECT_FALSE(has(joined(user_dir_, "settings.json")));
    EXPECT_EQ(fs_.entries[joined(user_dir_, "history.redb")].content, "r");
    EXPECT_EQ(fs_.entries[user_dir_].creation_time, 99u);
}

TEST_F(DataDirTest, NoTimeMarksAreNotApplied) {
    for (std::uint64_t mark : {std::uint64_t{0}, ~std::uint64_t{0}}) {
        fs_.reset();
        fs_.add_folder("new");
        fs_.add_folder("legacy", mark);
        migrate_legacy_data(os::to_native("new"), os::to_native("legacy"), fs_);
        EXPECT_EQ(count_calls("time"), 0);
    }
}

TEST_F(DataDirTest, GuardFixesTheFirstPathOnly) {
    env_.variables = {{"SNV_DATA_DIR", "from-env"}};
    {
        DataDir dir(env_, fs_);
        dir.set(os::to_native("given"));
        ASSERT_NE(dir.get(), nullptr);
        EXPECT_EQ(os::to_utf8(*dir.get()), "given");
        EXPECT_TRUE(env_.reads.empty());
    }
    {
        DataDir dir(env_, fs_);
        ASSERT_NE(dir.get(), nullptr);
        const os::NativePath* first = dir.get();
        dir.set(os::to_native("late"));
        EXPECT_TRUE(has("late"));  // created all the same
        EXPECT_EQ(dir.get(), first);
        EXPECT_EQ(os::to_utf8(*dir.get()), "from-env");
    }
}

TEST_F(DataDirTest, UnformedFolderLeavesTheGuardUnfixed) {
    DataDir dir(env_, fs_);
    EXPECT_EQ(dir.get(), nullptr);
    env_.variables["LOCALAPPDATA"] = local_;
    ASSERT_NE(dir.get(), nullptr);
    EXPECT_EQ(os::to_utf8(*dir.get()), user_dir_);
}

TEST_F(DataDirTest, RacingSetAndReadsSeeOnePath) {
    env_.variables = {{"SNV_DATA_DIR", "from-env"}};
    for (int round = 0; round < 50; ++round) {
        DataDir dir(env_, fs_);
        std::vector<std::string> seen(4);
        std::vector<std::thread> threads;
        threads.emplace_back([&] { dir.set(os::to_native("given")); });
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([&, i] { seen[i] = os::to_utf8(*dir.get()); });
        }
        for (auto& t : threads) t.join();
        const std::string fixed = os::to_utf8(*dir.get());
        for (const auto& s : seen) EXPECT_EQ(s, fixed);
    }
}

}  // namespace
}  // namespace snv::paths
