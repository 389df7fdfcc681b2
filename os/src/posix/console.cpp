#include "os/console.h"

#include <unistd.h>

#include <cerrno>

namespace snv::os {

namespace {

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

class PosixConsole final : public Console {
  public:
    void write_out(std::string_view utf8) override { write_all(STDOUT_FILENO, utf8); }
    void write_err(std::string_view utf8) override { write_all(STDERR_FILENO, utf8); }
};

}  // namespace

Console& real_console() {
    static PosixConsole console;
    return console;
}

}  // namespace snv::os
