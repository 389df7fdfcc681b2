#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "os/db_file.h"

namespace snv::os {

namespace {

Error errno_error(const char* what) {
    int e = errno;
    return Error::os(static_cast<std::uint32_t>(e), std::string(what) + ": " + std::strerror(e));
}

class PosixDbFile final : public DbFile {
  public:
    explicit PosixDbFile(int fd) : fd_(fd) {}
    ~PosixDbFile() override { ::close(fd_); }  // closing releases the flock
    PosixDbFile(const PosixDbFile&) = delete;
    PosixDbFile& operator=(const PosixDbFile&) = delete;

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::unexpected(errno_error("read"));
            }
            if (n == 0) return std::unexpected(Error::own("read beyond the end of the file"));
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                 static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::unexpected(errno_error("write"));
            }
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

    Result<std::uint64_t> len() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::unexpected(errno_error("stat"));
        return static_cast<std::uint64_t>(st.st_size);
    }

    Status set_len(std::uint64_t len) override {
        if (::ftruncate(fd_, static_cast<off_t>(len)) != 0)
            return std::unexpected(errno_error("set length"));
        return {};
    }

    Status sync() override {
        if (::fdatasync(fd_) != 0) return std::unexpected(errno_error("sync"));
        return {};
    }

    Result<bool> try_lock() override {
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return false;
            return std::unexpected(errno_error("lock"));
        }
        return true;
    }

  private:
    int fd_;
};

}  // namespace

Result<std::unique_ptr<DbFile>> open_db_file(const NativePath& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return std::unexpected(errno_error("open"));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::unexpected(Error::os(EISDIR, "open: not a regular file"));
    }
    return std::make_unique<PosixDbFile>(fd);
}

}  // namespace snv::os
