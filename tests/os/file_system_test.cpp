#include "os/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace snv::os {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
  protected:
    static NativePath native(const fs::path& p) { return to_native(test::os_form(p)); }
    FileSystem& real_ = real_file_system();
    test::TempFolder folder_{"file-system"};
};

TEST_F(FileSystemTest, MetadataTellsFilesFromFolders) {
    test::write_file(folder_ / "f", "x");
    auto file = real_.metadata(native(folder_ / "f"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->kind, EntryKind::file);
    auto folder = real_.metadata(native(folder_.path()));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->kind, EntryKind::folder);
    auto missing = real_.metadata(native(folder_ / "missing"));
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.error().is_os());
}

#ifndef _WIN32
TEST_F(FileSystemTest, MetadataFollowsLinks) {
    test::write_file(folder_ / "target", "x");
    fs::create_symlink(folder_ / "target", folder_ / "link");
    fs::create_directory_symlink(folder_.path(), folder_ / "dir-link");
    EXPECT_EQ(real_.metadata(native(folder_ / "link"))->kind, EntryKind::file);
    EXPECT_EQ(real_.metadata(native(folder_ / "dir-link"))->kind, EntryKind::folder);
    fs::create_symlink(folder_ / "nowhere", folder_ / "dangling");
    EXPECT_FALSE(real_.metadata(native(folder_ / "dangling")));
}
#endif

TEST_F(FileSystemTest, CreatesFoldersWithTheirParents) {
    auto deep = folder_ / "a" / "b" / "c";
    ASSERT_TRUE(real_.create_folder_all(native(deep)));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(real_.create_folder_all(native(deep)));  // already there
    auto trailing = test::os_form(folder_ / "t" / "u") + test::os_form(fs::path("/"));
    EXPECT_TRUE(real_.create_folder_all(to_native(trailing)));
    EXPECT_TRUE(fs::is_directory(folder_ / "t" / "u"));
}

TEST_F(FileSystemTest, FolderCreationFailsOverAFile) {
    test::write_file(folder_ / "file", "x");
    EXPECT_FALSE(real_.create_folder_all(native(folder_ / "file")));
    EXPECT_FALSE(real_.create_folder_all(native(folder_ / "file" / "sub")));
    EXPECT_FALSE(real_.create_folder_all(NativePath()));
}

TEST_F(FileSystemTest, CopyMakesANewFileAndNeverReplacesOne) {
    std::string content(100000, 'q');
    content += "end";
    test::write_file(folder_ / "src", content);
    ASSERT_TRUE(real_.copy_file_new(native(folder_ / "src"), native(folder_ / "dst")));
    EXPECT_EQ(test::read_file(folder_ / "dst"), content);

    test::write_file(folder_ / "mine", "user data");
    EXPECT_FALSE(real_.copy_file_new(native(folder_ / "src"), native(folder_ / "mine")));
    EXPECT_EQ(test::read_file(folder_ / "mine"), "user data");
    EXPECT_FALSE(real_.copy_file_new(native(folder_ / "missing"), native(folder_ / "x")));
    EXPECT_FALSE(fs::exists(folder_ / "x"));
    // A read-only source gives a read-only copy, removed all the same when it cannot be moved.
    test::write_file(folder_ / "read-only", "r");
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(folder_ / "read-only", writable, fs::perm_options::remove);
    EXPECT_FALSE(real_.copy_file_new(native(folder_ / "read-only"), native(folder_ / "mine")));
    fs::permissions(folder_ / "read-only", fs::perms::owner_write, fs::perm_options::add);
    for (const auto& e : fs::directory_iterator(folder_.path())) {
        EXPECT_NE(e.path().extension(), ".partial") << "left behind: " << e.path();
    }
}

TEST_F(FileSystemTest, CreationTimeOfAFolder) {
    EXPECT_TRUE(real_.set_folder_creation_time(native(folder_.path()), 126227808000000000ull));
#ifdef _WIN32
    EXPECT_FALSE(real_.set_folder_creation_time(native(folder_ / "missing"), 1));
#endif
}

}  // namespace
}  // namespace snv::os
