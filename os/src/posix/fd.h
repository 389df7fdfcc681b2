#pragma once

#include <unistd.h>

namespace snv::os::posix {

// A file descriptor, closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Hands the descriptor over; the caller closes it.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

}  // namespace snv::os::posix
