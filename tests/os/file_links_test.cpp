// The writes of the data files never go through a link planted where they write: the service
// writes as LocalSystem in a folder that the user's programs can write.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "os/file_system.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include <cerrno>
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

#ifdef _WIN32
constexpr std::uint32_t kSecondNameCode = ERROR_TOO_MANY_LINKS;
#else
constexpr std::uint32_t kSecondNameCode = EMLINK;
#endif

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
        const Status written = w.call(real_file_system(), native(planted), "{\"planted\":1}");
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().to_string(),
                  "a file with more than one name in place of the file (os error " +
                      std::to_string(kSecondNameCode) + ")");
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

// What another program may have put at the first-run copy's temporary name: `plant` makes it
// and returns what must live while the copy runs. A stale entry is removed and the copy goes
// on; one that cannot be removed stands for one planted after the removal, and must make the
// copy fail.
struct Planted {
    const char* name;
    std::function<std::shared_ptr<void>(const fs::path& at, const fs::path& elsewhere)> plant;
    bool copies;
};

TEST_F(FileLinks, TheFirstRunCopyNeverWritesThroughWhatStandsAtItsTemporaryName) {
    const fs::path machine = folder_ / "machine";
    fs::create_directories(machine);
    const fs::path from = machine / "tasks.json";
    const std::string content = "the machine-wide tasks\n";
    test::write_file(from, content);
    const fs::path to = data_ / "tasks.json";
    const fs::path partial = data_ / "tasks.json.partial";
    const Planted kPlanted[] = {
        {"a second name of a file elsewhere",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_hard_link(elsewhere, at);
             return std::shared_ptr<void>();
         },
         true},
        {"a folder",
         [](const fs::path& at, const fs::path&) {
             fs::create_directories(at / "inside");
             return std::shared_ptr<void>();
         },
         false},
#ifdef _WIN32
        // Held open by another program without delete sharing, it cannot be removed.
        {"a second name of a file elsewhere, held open",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_hard_link(elsewhere, at);
             HANDLE h = CreateFileW(at.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
             EXPECT_NE(h, INVALID_HANDLE_VALUE);
             return std::shared_ptr<void>(h, [](HANDLE held) { CloseHandle(held); });
         },
         false},
#else
        {"a symbolic link to a file elsewhere",
         [](const fs::path& at, const fs::path& elsewhere) {
             fs::create_symlink(elsewhere, at);
             return std::shared_ptr<void>();
         },
         true},
#endif
    };
    for (const Planted& p : kPlanted) {
        SCOPED_TRACE(p.name);
        reset_target();
        fs::remove(to);
        fs::remove_all(partial);
        Status copied;
        {
            const std::shared_ptr<void> held = p.plant(partial, target_);
            copied = real_file_system().copy_file_new(native(from), native(to));
        }
        EXPECT_EQ(test::read_file(target_), original_);
        if (p.copies) {
            ASSERT_TRUE(copied) << copied.error().to_string();
            EXPECT_EQ(test::read_file(to), content);
            EXPECT_EQ(fs::hard_link_count(to), 1u);
            EXPECT_FALSE(fs::exists(fs::symlink_status(partial)));
        } else {
            EXPECT_FALSE(copied);
            EXPECT_FALSE(fs::exists(to));
            EXPECT_TRUE(fs::exists(fs::symlink_status(partial)));  // left to whoever put it
        }
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
