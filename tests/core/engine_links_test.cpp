// A temporary task coming due rewrites tasks.json; a link planted where that write goes makes
// the write fail, and nothing is written through it. (Symbolic links: the native build.)
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>

#include "core/engine_fixture.h"

namespace snv::test {
namespace {

namespace fs = std::filesystem;

const std::string kTemporaryLock =
    R"({"version":1,"tasks":[{"id":"t","enabled":true,"action":"lock",)"
    R"("trigger":{"type":"idle","minutes":1},"temporary":true}]})";

class Links : public EngineFixture {
  protected:
    fs::path outside = case_folder / "outside";
    fs::path target = outside / "precious.txt";

    Links() {
        fs::create_directories(outside);
        fs::create_directories(data);
    }

    void due() { engine().hand_off({"t", TriggerKind::idle, Action::lock}); }
};

TEST_F(Links, ALinkAtTheTemporaryFileFailsTheRewriteAndLeavesItsTarget) {
    write_file(target, "not for the service\n");
    write_data_file("tasks.json", kTemporaryLock);
    fs::create_symlink(target, data / "tasks.json.tmp");
    due();
    EXPECT_EQ(read_file(target), "not for the service\n");
    EXPECT_EQ(read_file(data / "tasks.json"), kTemporaryLock);
    EXPECT_TRUE(fs::is_symlink(data / "tasks.json.tmp"));
    EXPECT_EQ(engine().pending.size(), 1u) << "the action goes on like after any failed write";
}

TEST_F(Links, ALinkAtTasksJsonIsReplacedNotWrittenThrough) {
    write_file(target, kTemporaryLock);
    fs::create_symlink(target, data / "tasks.json");
    due();
    EXPECT_EQ(read_file(target), kTemporaryLock);
    EXPECT_FALSE(fs::is_symlink(data / "tasks.json"));
    EXPECT_EQ(read_file(data / "tasks.json"), "{\n  \"version\": 1,\n  \"tasks\": []\n}");
}

TEST_F(Links, OnTheDirectWriteALinkAtTasksJsonIsRefused) {
    write_file(target, kTemporaryLock);
    fs::create_symlink(target, data / "tasks.json");
    // The rename fails, as it does when another program holds tasks.json without delete sharing.
    seams.files.before = [](const std::string& call) -> os::Status {
        if (call.starts_with("replace ")) return std::unexpected(os::Error::os(EBUSY, "busy"));
        return {};
    };
    due();
    EXPECT_EQ(seams.files.count("overwrite "), 1u);
    EXPECT_EQ(read_file(target), kTemporaryLock);
    EXPECT_TRUE(fs::is_symlink(data / "tasks.json"));
    EXPECT_FALSE(fs::exists(data / "tasks.json.tmp"));
}

TEST_F(Links, ADataFolderThatIsALinkKeepsWorking) {
    const fs::path real_folder = case_folder / "elsewhere";
    fs::create_directories(real_folder);
    fs::remove_all(data);
    fs::create_directory_symlink(real_folder, data);
    write_data_file("tasks.json", kTemporaryLock);
    due();
    EXPECT_EQ(read_file(real_folder / "tasks.json"), "{\n  \"version\": 1,\n  \"tasks\": []\n}");
}

}  // namespace
}  // namespace snv::test

#endif
