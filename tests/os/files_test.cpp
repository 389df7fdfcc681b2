#include "os/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "os/error.h"
#include "support/host_shell.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <csignal>
#endif

namespace snv::os {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempFolder;
using test::write_file;

NativePath native(const fs::path& p) {
    return p.native();
}

// A limit no test file comes near.
constexpr std::uint64_t kAnySize = std::uint64_t{1} << 30;

TEST(Files, ReadsWholeFileAndReportsMissingOne) {
    TempFolder dir;
    std::string big(200000, 'x');
    big[123456] = '\0';
    write_file(dir.file("a"), big);
    auto read = real_file_system().read_file(native(dir.file("a")), kAnySize);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, big);

    auto missing = real_file_system().read_file(native(dir.file("none")), kAnySize);
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.error().is_os());
}

TEST(Files, AFileLongerThanTheLimitIsRefused) {
    TempFolder dir;
    struct Case {
        std::size_t size;
        std::uint64_t max;
        bool read;
    };
    const Case cases[] = {{0, 0, true}, {10, 10, true}, {11, 10, false}, {70000, 65536, false}};
    for (const Case& c : cases) {
        write_file(dir.file("f"), std::string(c.size, 'x'));
        auto read = real_file_system().read_file(native(dir.file("f")), c.max);
        ASSERT_EQ(bool(read), c.read) << c.size << " of at most " << c.max;
        if (read) {
            EXPECT_EQ(read->size(), c.size);
        } else {
            EXPECT_EQ(read.error().to_string(), file_too_large(c.max).to_string());
        }
    }
#ifndef _WIN32
    // A file whose size says nothing (0 under /proc) is read to its end, within the limit.
    auto maps = real_file_system().read_file("/proc/self/maps", kAnySize);
    ASSERT_TRUE(maps);
    EXPECT_GT(maps->size(), 100u);
    EXPECT_FALSE(real_file_system().read_file("/proc/self/maps", 100));
#endif
}

// What another program may plant where a data file is read: it is refused at once, never
// waited on.
TEST(Files, AFifoOrAFolderIsRefusedWithoutWaiting) {
    TempFolder dir;
    const test::HostFifo planted(dir.file("fifo"));
    ASSERT_TRUE(planted.made());
    auto fifo = real_file_system().read_file(native(dir.file("fifo")), kAnySize);
    ASSERT_FALSE(fifo);
    EXPECT_NE(fifo.error().text.find("FIFO in place of the file"), std::string::npos)
        << fifo.error().to_string();
    fs::create_directory(dir.file("folder"));
    EXPECT_FALSE(real_file_system().read_file(native(dir.file("folder")), kAnySize));
}

TEST(Files, WriteCreatesAndTruncates) {
    TempFolder dir;
    auto path = native(dir.file("w"));
    ASSERT_TRUE(real_file_system().write_file(path, "long content here"));
    ASSERT_TRUE(real_file_system().write_file(path, "short"));
    EXPECT_EQ(read_file(dir.file("w")), "short");
}

TEST(Files, ReplaceMovesOverExistingTarget) {
    TempFolder dir;
    write_file(dir.file("t"), "old");
    write_file(dir.file("t.tmp"), "new");
    ASSERT_TRUE(real_file_system().replace_file(native(dir.file("t.tmp")), native(dir.file("t"))));
    EXPECT_EQ(read_file(dir.file("t")), "new");
    EXPECT_FALSE(fs::exists(dir.file("t.tmp")));

    auto missing = real_file_system().replace_file(native(dir.file("gone")), native(dir.file("t")));
    EXPECT_FALSE(missing);
    EXPECT_EQ(read_file(dir.file("t")), "new");
}

TEST(Files, OverwriteInPlaceGrowsAndShrinks) {
    TempFolder dir;
    auto path = native(dir.file("o"));
    write_file(dir.file("o"), "0123456789");
    ASSERT_TRUE(real_file_system().overwrite_file(path, "abc", kAnySize));
    EXPECT_EQ(read_file(dir.file("o")), "abc");
    ASSERT_TRUE(real_file_system().overwrite_file(path, std::string(70000, 'z'), kAnySize));
    EXPECT_EQ(read_file(dir.file("o")), std::string(70000, 'z'));
    ASSERT_TRUE(real_file_system().overwrite_file(native(dir.file("fresh")), "made", kAnySize));
    EXPECT_EQ(read_file(dir.file("fresh")), "made");
}

// The old content is held to be put back after a failed write: one too long to hold is
// refused before a byte changes.
TEST(Files, OverwriteOfAnOldFileLongerThanTheLimitIsRefusedUntouched) {
    TempFolder dir;
    write_file(dir.file("o"), "0123456789");
    auto result = real_file_system().overwrite_file(native(dir.file("o")), "new", 9);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().to_string(), file_too_large(9).to_string());
    EXPECT_EQ(read_file(dir.file("o")), "0123456789");
}

TEST(Files, RemoveDeletesAndReportsMissing) {
    TempFolder dir;
    write_file(dir.file("r"), "x");
    EXPECT_TRUE(real_file_system().remove_file(native(dir.file("r"))));
    EXPECT_FALSE(fs::exists(dir.file("r")));
    EXPECT_FALSE(real_file_system().remove_file(native(dir.file("r"))));
}

TEST(Files, CreateFoldersMakesEveryMissingLevel) {
    TempFolder dir;
    auto deep = dir.path() / "a" / "b" / "c";
    ASSERT_TRUE(real_file_system().create_folder_all(native(deep)));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(real_file_system().create_folder_all(native(deep)));  // existing is fine

    write_file(dir.file("plain"), "x");
    EXPECT_FALSE(real_file_system().create_folder_all(native(dir.path() / "plain" / "sub")));
    EXPECT_FALSE(real_file_system().create_folder_all(native(dir.file("plain"))));
}

TEST(Files, FolderOfPath) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"tasks.json", ""},
        {"/tasks.json", "/"},
        {"/a/b/tasks.json", "/a/b"},
        {"/a/b//tasks.json", "/a/b"},
        {"a/tasks.json", "a"},
#ifdef _WIN32
        {"C:\\tasks.json", "C:\\"},
        {"C:\\data\\tasks.json", "C:\\data"},
        {"C:/data/tasks.json", "C:/data"},
        {"C:tasks.json", ""},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_utf8(folder_of(to_native(c.path))), c.folder) << c.path;
    }
}

#ifndef _WIN32
// A file-size limit makes the write fail for real, as a full disk would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit saved_{};
    void (*old_handler_)(int) = nullptr;
};

TEST(Files, FailedOverwriteKeepsOldContent) {
    TempFolder dir;
    const std::string old(3000, 'o');
    write_file(dir.file("t"), old);
    {
        FileSizeLimit limit(4096);
        auto result = real_file_system().overwrite_file(native(dir.file("t")),
                                                        std::string(10000, 'n'), kAnySize);
        EXPECT_FALSE(result);
    }
    EXPECT_EQ(read_file(dir.file("t")), old);
}
#else
// Another program holding the file without write sharing makes the write fail; nothing changes.
TEST(Files, OverwriteOfFileHeldWithoutWriteSharingKeepsContent) {
    TempFolder dir;
    write_file(dir.file("t"), "old");
    auto path = native(dir.file("t"));
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    auto result = real_file_system().overwrite_file(path, "new content", kAnySize);
    CloseHandle(other);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(read_file(dir.file("t")), "old");
}

TEST(Files, ReadSharesWithAWriterThatAllowsDelete) {
    TempFolder dir;
    write_file(dir.file("t"), "held");
    auto path = native(dir.file("t"));
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    auto read = real_file_system().read_file(path, kAnySize);
    CloseHandle(other);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, "held");
}
#endif

}  // namespace
}  // namespace snv::os
