#include "os/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/system_error.h"

namespace snv::os {

namespace {

NativePath parent_of(const NativePath& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == NativePath::npos) return {};
    std::size_t cut = path.find_last_of('/', end);
    if (cut == NativePath::npos) return {};
    return path.substr(0, cut + 1);
}

bool is_folder(const NativePath& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

Status copy_contents(int in, int out) {
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::unexpected(last_system_error());
        if (n == 0) return {};
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return std::unexpected(last_system_error());
            done += w;
        }
    }
}

class PosixFileSystem final : public FileSystem {
  public:
    Result<Metadata> metadata(const NativePath& path) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return std::unexpected(last_system_error());
        Metadata m;
        m.kind = S_ISDIR(st.st_mode) ? EntryKind::folder : EntryKind::file;
        return m;
    }

    Status create_folder_all(const NativePath& path) override {
        if (path.empty()) return std::unexpected(Error::own("empty folder path"));
        if (::mkdir(path.c_str(), 0777) == 0) return {};
        int error = errno;
        if (error == ENOENT) {
            NativePath parent = parent_of(path);
            if (parent.empty() || parent == path) return std::unexpected(system_error(error));
            if (auto made = create_folder_all(parent); !made) return made;
            if (::mkdir(path.c_str(), 0777) == 0) return {};
            error = errno;
        }
        if (is_folder(path)) return {};
        return std::unexpected(system_error(static_cast<std::uint32_t>(error)));
    }

    // Written beside the target and linked into place: a crash never leaves a partial file
    // under the real name, and link() refuses to replace an existing one.
    Status copy_file_new(const NativePath& from, const NativePath& to) override {
        Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return std::unexpected(last_system_error());
        struct stat st;
        if (::fstat(in.get(), &st) != 0) return std::unexpected(last_system_error());
        if (!S_ISREG(st.st_mode)) return std::unexpected(Error::own("not a regular file"));
        NativePath partial = to + ".partial";
        ::unlink(partial.c_str());
        Fd out(::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (out.get() < 0) return std::unexpected(last_system_error());
        Status done = copy_contents(in.get(), out.get());
        if (done && ::fchmod(out.get(), st.st_mode & 07777) != 0) {
            done = std::unexpected(last_system_error());
        }
        if (done && ::fsync(out.get()) != 0) done = std::unexpected(last_system_error());
        if (::close(out.release()) != 0 && done) done = std::unexpected(last_system_error());
        if (done && ::link(partial.c_str(), to.c_str()) != 0) {
            done = std::unexpected(last_system_error());
        }
        ::unlink(partial.c_str());
        return done;
    }

    Status set_folder_creation_time(const NativePath&, std::uint64_t) override { return {}; }
};

}  // namespace

FileSystem& real_file_system() {
    static PosixFileSystem file_system;
    return file_system;
}

}  // namespace snv::os
