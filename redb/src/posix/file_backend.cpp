#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "redb/storage_backend.h"

namespace redb {

namespace {

Error errno_error(const char* what, int code = errno) {
    return Error::io(std::string(what) + ": " + std::strerror(code),
                     static_cast<std::uint32_t>(code));
}

// What stands at the database's path when it is not a regular file, in words.
const char* what_stands_there(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "something other than a file";
}

class PosixFileBackend final : public StorageBackend {
  public:
    explicit PosixFileBackend(int fd) : fd_(fd) {}
    ~PosixFileBackend() override { (void)close(); }
    PosixFileBackend(const PosixFileBackend&) = delete;
    PosixFileBackend& operator=(const PosixFileBackend&) = delete;

    Result<std::uint64_t> len() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::unexpected(errno_error("stat"));
        return static_cast<std::uint64_t>(st.st_size);
    }

    Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::unexpected(errno_error("read"));
            }
            if (n == 0) return std::unexpected(Error::io("read beyond the end of the file"));
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    Status set_len(std::uint64_t len) override {
        if (::ftruncate(fd_, static_cast<off_t>(len)) != 0)
            return std::unexpected(errno_error("set length"));
        return {};
    }

    Status sync_data() override {
        if (::fdatasync(fd_) != 0) return std::unexpected(errno_error("sync"));
        return {};
    }

    Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::unexpected(errno_error("write"));
            }
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    // Closing the descriptor releases the flock.
    Status close() override {
        if (fd_ < 0) return {};
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return std::unexpected(errno_error("close"));
        return {};
    }

  private:
    int fd_;
};

}  // namespace

Result<std::unique_ptr<StorageBackend>> open_file_backend(const std::filesystem::path& path) {
    // O_NOFOLLOW: a link planted at the path is refused, never followed to a file elsewhere.
    // O_NONBLOCK: a FIFO planted there opens at once, to be refused below.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) return std::unexpected(errno_error("open"));
    auto backend = std::make_unique<PosixFileBackend>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::unexpected(errno_error("stat"));
    if (!S_ISREG(st.st_mode))
        return std::unexpected(Error::io(std::string("open: ") + what_stands_there(st.st_mode) +
                                         " in place of the file"));
    // A second name may lie anywhere on the volume: writing through it would change a file
    // that is not the database's own.
    if (st.st_nlink != 1)
        return std::unexpected(Error::io("open: a file with more than one name (a hard link)"));
    // redb's lock: exclusive, without waiting.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK)
            return std::unexpected(
                Error{ErrorKind::AlreadyOpen, "Database already open. Cannot acquire lock.", 0});
        return std::unexpected(errno_error("lock"));
    }
    return backend;
}

}  // namespace redb
