#include "posix/file_io.h"

#include <unistd.h>

#include <cerrno>

#include "in_place_of_file.h"
#include "os/system_error.h"
#include "read_whole.h"

namespace snv::os::posix {

Status require_regular_file(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return {};
    const Found found = S_ISDIR(st.st_mode)                          ? Found::folder
                        : S_ISFIFO(st.st_mode)                       ? Found::fifo
                        : S_ISSOCK(st.st_mode)                       ? Found::socket
                        : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? Found::device
                                                                     : Found::other;
    return std::unexpected(in_place_of_the_file(found));
}

namespace {

// One read that goes on after EINTR: the bytes read, 0 at the end of the file.
Result<std::size_t> read_some(int fd, char* into, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return std::unexpected(last_system_error());
    }
}

}  // namespace

Result<std::string> read_all(int fd, std::uint64_t max_bytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::unexpected(last_system_error());
    if (auto regular = require_regular_file(st); !regular) return std::unexpected(regular.error());
    return read_whole(static_cast<std::uint64_t>(st.st_size), max_bytes,
                      [fd](char* into, std::size_t room) { return read_some(fd, into, room); });
}

Status write_all_at(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_system_error());
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return {};
}

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

Status flush(int fd) {
    if (::fsync(fd) != 0) return std::unexpected(last_system_error());
    return {};
}

}  // namespace snv::os::posix
