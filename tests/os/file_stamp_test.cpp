#include "os/file_system.h"

#include <gtest/gtest.h>

#include "support/file_times.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

namespace os = snv::os;
using snv::test::filetime_of;
using namespace std::chrono_literals;

TEST(FileStamp, IsTheLastWriteTimeCountedFrom1601) {
    snv::test::TempFolder dir;
    const auto file = dir.file("tasks.json");
    snv::test::write_file(file, "{}");
    for (const auto t : {0s, 1s, 1'700'000'000s, 4'102'444'800s}) {
        snv::test::set_last_write(file, t);
        EXPECT_EQ(os::real_file_system().last_write(file.native()), filetime_of(t)) << t.count();
    }
}

TEST(FileStamp, IsNoneWhenNothingIsThere) {
    snv::test::TempFolder dir;
    EXPECT_EQ(os::real_file_system().last_write(dir.file("missing.json").native()), std::nullopt);
    EXPECT_EQ(os::real_file_system().last_write(dir.file("no/such/folder.json").native()),
              std::nullopt);
}

TEST(FileStamp, FollowsSymbolicLinks) {
    snv::test::TempFolder dir;
    const auto target = dir.file("real.json");
    snv::test::write_file(target, "[]");
    snv::test::set_last_write(target, 1'600'000'000s);
    std::error_code ec;
    std::filesystem::create_symlink(target, dir.file("link.json"), ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    EXPECT_EQ(os::real_file_system().last_write(dir.file("link.json").native()),
              filetime_of(1'600'000'000s));
    std::filesystem::remove(target);
    EXPECT_EQ(os::real_file_system().last_write(dir.file("link.json").native()), std::nullopt);
}

#ifdef _WIN32
TEST(FileStamp, WorksWhileTheFileIsHeldWithoutSharing) {
    snv::test::TempFolder dir;
    const auto file = dir.file("settings.json");
    snv::test::write_file(file, "{}");
    snv::test::set_last_write(file, 1'650'000'000s);
    int fd = -1;
    ASSERT_EQ(_wsopen_s(&fd, file.c_str(), _O_RDWR, _SH_DENYRW, _S_IREAD | _S_IWRITE), 0);
    // The holder refuses every other open; the stamp still comes.
    int other = -1;
    EXPECT_NE(_wsopen_s(&other, file.c_str(), _O_RDONLY, _SH_DENYNO, _S_IREAD), 0);
    EXPECT_EQ(os::real_file_system().last_write(file.native()), filetime_of(1'650'000'000s));
    _close(fd);
}
#endif
