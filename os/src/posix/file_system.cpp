#include "os/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "in_place_of_file.h"
#include "os/system_error.h"
#include "posix/fd.h"
#include "posix/file_io.h"

namespace snv::os {

namespace {

using posix::Fd;

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kEpochGap = 11'644'473'600ULL;

NativePath parent_of(const NativePath& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == NativePath::npos) return {};
    std::size_t cut = path.find_last_of('/', end);
    if (cut == NativePath::npos) return {};
    return path.substr(0, cut + 1);
}

// Opens the file, never through a symbolic link at `path`, and only when it is a regular file
// of its own (one link): the service works as LocalSystem in a folder that other programs can
// write, so a planted link must not redirect what it writes or reads. O_NONBLOCK keeps a planted
// FIFO from blocking the open. `flags` may add O_CREAT.
Result<int> open_own_file(const NativePath& path, int flags) {
    Fd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!fd.ok()) return std::unexpected(last_system_error());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return std::unexpected(last_system_error());
    if (auto regular = posix::require_regular_file(st); !regular) {
        return std::unexpected(regular.error());
    }
    if (st.st_nlink != 1) return std::unexpected(in_place_of_the_file(Found::second_name, EMLINK));
    return fd.release();
}

bool is_folder(const NativePath& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

    std::optional<FileTime> last_write(const NativePath& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return std::nullopt;
        // Unsigned arithmetic: times before 1601 wrap instead of overflowing, and distinct
        // times stay distinct, which is all a stamp is compared for.
        const auto sec = static_cast<std::uint64_t>(st.st_mtim.tv_sec);
        const auto hundreds = static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100;
        return (sec + kEpochGap) * 10'000'000ULL + hundreds;
    }

    Result<std::string> read_file(const NativePath& path, std::uint64_t max_bytes) override {
        // O_NONBLOCK: a FIFO opens without waiting for a writer, and read_all refuses it.
        Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!fd.ok()) return std::unexpected(last_system_error());
        return posix::read_all(fd.get(), max_bytes);
    }

    Result<std::string> read_own_file(const NativePath& path, std::uint64_t max_bytes) override {
        auto opened = open_own_file(path, O_RDONLY);
        if (!opened) return std::unexpected(opened.error());
        Fd fd(*opened);
        return posix::read_all(fd.get(), max_bytes);
    }

    Status write_file(const NativePath& path, std::string_view bytes) override {
        auto opened = open_own_file(path, O_WRONLY | O_CREAT);
        if (!opened) return std::unexpected(opened.error());
        Fd fd(*opened);
        if (::ftruncate(fd.get(), 0) != 0) return std::unexpected(last_system_error());
        if (auto written = posix::write_all_at(fd.get(), bytes, 0); !written) return written;
        return posix::flush(fd.get());
    }

    Status replace_file(const NativePath& from, const NativePath& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return std::unexpected(last_system_error());
        return {};
    }

    Status overwrite_file(const NativePath& path, std::string_view bytes,
                          std::uint64_t max_old_bytes) override {
        auto opened = open_own_file(path, O_RDWR | O_CREAT);
        if (!opened) return std::unexpected(opened.error());
        Fd fd(*opened);
        auto old = posix::read_all(fd.get(), max_old_bytes);
        if (!old) return std::unexpected(old.error());
        const auto old_size = static_cast<off_t>(old->size());
        const auto new_size = static_cast<off_t>(bytes.size());
        if (new_size > old_size) {
            // A full disk shows here, before a byte of the old content has changed.
            int rc = ::posix_fallocate(fd.get(), 0, new_size);
            if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) {
                (void)::ftruncate(fd.get(), old_size);
                return std::unexpected(system_error(static_cast<std::uint32_t>(rc)));
            }
        }
        auto written = posix::write_all_at(fd.get(), bytes, 0);
        if (written && ::ftruncate(fd.get(), new_size) != 0) {
            written = std::unexpected(last_system_error());
        }
        if (!written) {
            (void)posix::write_all_at(fd.get(), *old, 0);
            (void)::ftruncate(fd.get(), old_size);
            return written;
        }
        return posix::flush(fd.get());
    }

    Status remove_file(const NativePath& path) override {
        if (::unlink(path.c_str()) != 0) return std::unexpected(last_system_error());
        return {};
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
        // O_NONBLOCK: a FIFO there opens without waiting for a writer, to be refused.
        Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!in.ok()) return std::unexpected(last_system_error());
        struct stat st;
        if (::fstat(in.get(), &st) != 0) return std::unexpected(last_system_error());
        if (auto regular = posix::require_regular_file(st); !regular) {
            return std::unexpected(regular.error());
        }
        NativePath partial = to + ".partial";
        ::unlink(partial.c_str());
        Fd out(::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out.ok()) return std::unexpected(last_system_error());
        Status done = posix::copy_contents(in.get(), out.get());
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

    Status set_folder_creation_time(const NativePath&, FileTime) override { return {}; }
};

}  // namespace

FileSystem& real_file_system() {
    static PosixFileSystem file_system;
    return file_system;
}

}  // namespace snv::os
