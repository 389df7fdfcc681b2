#include "os/files.h"

#include "os/file_system.h"
#include "os/system_error.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace snv::os {

namespace {

Error errno_error(int code) {
    return system_error(static_cast<std::uint32_t>(code));
}
Error last_error() {
    return last_system_error();
}

// Closes the descriptor when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

  private:
    int fd_;
};

Result<std::string> read_all(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_error());
        }
        if (n == 0) return out;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

Status write_all_at(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_error());
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return {};
}

Status flush(int fd) {
    if (::fsync(fd) != 0) return std::unexpected(last_error());
    return {};
}

class PosixFiles final : public Files {
  public:
    Result<std::string> read_file(const NativePath& path) override {
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.ok()) return std::unexpected(last_error());
        return read_all(fd.get());
    }

    Status write_file(const NativePath& path, std::string_view bytes) override {
        Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!fd.ok()) return std::unexpected(last_error());
        if (auto written = write_all_at(fd.get(), bytes, 0); !written) return written;
        return flush(fd.get());
    }

    Status replace_file(const NativePath& from, const NativePath& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return std::unexpected(last_error());
        return {};
    }

    Status overwrite_file(const NativePath& path, std::string_view bytes) override {
        Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        if (!fd.ok()) return std::unexpected(last_error());
        auto old = read_all(fd.get());
        if (!old) return std::unexpected(old.error());
        const auto old_size = static_cast<off_t>(old->size());
        const auto new_size = static_cast<off_t>(bytes.size());
        if (new_size > old_size) {
            // A full disk shows here, before a byte of the old content has changed.
            int rc = ::posix_fallocate(fd.get(), 0, new_size);
            if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
                (void)::ftruncate(fd.get(), old_size);
                return std::unexpected(errno_error(rc));
            }
        }
        auto written = write_all_at(fd.get(), bytes, 0);
        if (written && ::ftruncate(fd.get(), new_size) != 0)
            written = std::unexpected(last_error());
        if (!written) {
            (void)write_all_at(fd.get(), *old, 0);
            (void)::ftruncate(fd.get(), old_size);
            return written;
        }
        return flush(fd.get());
    }

    Status remove_file(const NativePath& path) override {
        if (::unlink(path.c_str()) != 0) return std::unexpected(last_error());
        return {};
    }

    Status create_folders(const NativePath& path) override {
        return real_file_system().create_folder_all(path);
    }
};

}  // namespace

Files& real_files() {
    static PosixFiles files;
    return files;
}

}  // namespace snv::os
