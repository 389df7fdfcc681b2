#pragma once

#include <windows.h>

namespace snv::os::win32 {

// A kernel handle, closed when it goes out of scope. Both of the API's "no handle" values
// (NULL and INVALID_HANDLE_VALUE) count as none.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = other.h_;
            other.h_ = nullptr;
        }
        return *this;
    }

    HANDLE get() const { return h_; }
    bool ok() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    // For calls that fill in a handle; whatever was held before is closed first.
    HANDLE* out() {
        reset();
        return &h_;
    }
    void reset() {
        if (ok()) CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_ = nullptr;
};

}  // namespace snv::os::win32
