#include "posix/file_io.h"

#include <unistd.h>

#include <cerrno>

#include "os/system_error.h"

namespace snv::os::posix {

Result<std::string> read_all(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(last_system_error());
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
