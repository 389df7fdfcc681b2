// The writes of the data files never go through a link planted where they write: the service
// writes as LocalSystem in a folder that the user's programs can write.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "os/file_system.h"
#include "support/temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace snv::os {
namespace {

namespace fs = std::filesystem;

NativePath native(const fs::path& p) {
    return to_native(test::os_form(p));
}

// The two writes that put data into a named file.
struct Write {
    const char* name;
    std::function<Status(FileSystem&, const NativePath&, std::string_view)> call;
};
const Write kWrites[] = {
    {"write_file",
     [](FileSystem& f, const NativePath& p, std::string_view b) { return f.write_file(p, b); }},
    {"overwrite_file",
     [](FileSystem& f, const NativePath& p, std::string_view b) {
         return f.overwrite_file(p, b, std::uint64_t{1} << 20);
     }},
};

class FileLinks : public ::testing::Test {
  protected:
    test::TempFolder folder_{"file-links"};
    fs::path outside_ = folder_ / "outside";  // a folder the service must not write into
    fs::path target_ = outside_ / "target.txt";
    fs::path data_ = folder_ / "data";
    const std::string original_ = "the target's own bytes\n";

    FileLinks() {
        fs::create_directories(outside_);
        fs::create_directories(data_);
    }
    void reset_target() { test::write_file(target_, original_); }
};

TEST_F(FileLinks, AFileWithASecondNameIsRefusedUntouched) {
    for (const Write& w : kWrites) {
        SCOPED_TRACE(w.name);
        reset_target();
        const fs::path planted = data_ / "tasks.json.tmp";
        fs::remove(planted);
        fs::create_hard_link(target_, planted);
        EXPECT_FALSE(w.call(real_file_system(), native(planted), "{\"planted\":1}"));
        EXPECT_EQ(test::read_file(target_), original_);
        EXPECT_EQ(test::read_file(planted), original_);  // still the second name
    }
}

TEST_F(FileLinks, AnOrdinaryFileIsWrittenAndAMissingOneCreated) {
    for (const Write& w : kWrites) {
        SCOPED_TRACE(w.name);
        const fs::path file = data_ / (std::string(w.name) + ".json");
        ASSERT_TRUE(w.call(real_file_system(), native(file), "first, longer"));
        ASSERT_TRUE(w.call(real_file_system(), native(file), "second"));
        EXPECT_EQ(test::read_file(file), "second");
    }
}

#ifndef _WIN32
TEST_F(FileLinks, ASymbolicLinkIsRefusedAndNothingIsWrittenAnywhere) {
    for (const Write& w : kWrites) {
        SCOPED_TRACE(w.name);
        reset_target();
        const fs::path link = data_ / "tasks.json.tmp";
        fs::remove(link);
        fs::create_symlink(target_, link);
        const Status written = w.call(real_file_system(), native(link), "{\"planted\":1}");
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().code, static_cast<std::uint32_t>(ELOOP));
        EXPECT_EQ(test::read_file(target_), original_);
        EXPECT_TRUE(fs::is_symlink(link));

        // A link to a file that does not exist yet creates nothing there either.
        fs::remove(link);
        const fs::path nowhere = outside_ / "created-by-nobody";
        fs::create_symlink(nowhere, link);
        EXPECT_FALSE(w.call(real_file_system(), native(link), "x"));
        EXPECT_FALSE(fs::exists(nowhere));
    }
}

TEST_F(FileLinks, AFifoIsRefusedWithoutWaitingForAReader) {
    const fs::path fifo = data_ / "tasks.json.tmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const Write& w : kWrites) {
        EXPECT_FALSE(w.call(real_file_system(), native(fifo), "x")) << w.name;
    }
}

TEST_F(FileLinks, AFolderOnTheWayMayBeALink) {
    const fs::path linked = folder_ / "linked-data";
    fs::create_directory_symlink(data_, linked);
    for (const Write& w : kWrites) {
        ASSERT_TRUE(w.call(real_file_system(), native(linked / "tasks.json"), w.name)) << w.name;
        EXPECT_EQ(test::read_file(data_ / "tasks.json"), w.name);
    }
}
#endif

}  // namespace
}  // namespace snv::os
