#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace snv::os {

// An error value: an operating-system code with its message, or a text of the system's own.
// Which of the two it is stands apart from the code, since a failed call may leave code 0.
struct Error {
    bool from_os = false;
    std::uint32_t code = 0;  // the OS code; meaningless for an own text
    std::string text;

    static Error os(std::uint32_t code, std::string message) {
        return {true, code, std::move(message)};
    }
    static Error own(std::string message) { return {false, 0, std::move(message)}; }

    bool is_os() const { return from_os; }
    // "message (os error N)" for OS errors, the own text otherwise.
    std::string to_string() const;
};

template <typename T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

// The refusal of a file longer than what the caller reads of it.
Error file_too_large(std::uint64_t max_bytes);

}  // namespace snv::os
