#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace snv::os {

// An error value: an operating-system code with its message, or a text of the system's own.
struct Error {
    std::uint32_t code = 0;  // 0: not an OS error, `text` is the whole message
    std::string text;

    static Error os(std::uint32_t code, std::string message) { return {code, std::move(message)}; }
    static Error own(std::string message) { return {0, std::move(message)}; }

    bool is_os() const { return code != 0; }
    // "message (os error N)" for OS errors, the own text otherwise.
    std::string to_string() const;
};

template <typename T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

}  // namespace snv::os
