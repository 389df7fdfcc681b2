#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "os/error.h"

namespace snv::svc {

// The error of a service-manager operation, as `report_error` prints it.
struct ServiceError {
    enum class Kind {
        system_call,     // a Windows call failed; `code` is its error
        nul_in_text,     // `field` contains a NUL character
        nul_in_element,  // element `index` of the list `field` contains a NUL character
        invalid_value,   // `field` holds a value outside its range
    };

    Kind kind = Kind::system_call;
    std::uint32_t code = 0;
    std::string field;
    std::size_t index = 0;

    static ServiceError system_call(std::uint32_t code) { return {Kind::system_call, code, {}, 0}; }
    // The failed call's error as the seam returned it.
    static ServiceError system_call(const os::Error& error) { return system_call(error.code); }
    static ServiceError nul_in_text(std::string field) {
        return {Kind::nul_in_text, 0, std::move(field), 0};
    }
    static ServiceError nul_in_element(std::string field, std::size_t index) {
        return {Kind::nul_in_element, 0, std::move(field), index};
    }
    static ServiceError invalid_value(std::string field) {
        return {Kind::invalid_value, 0, std::move(field), 0};
    }

    // The text after the display name; a failed call's code is not part of it.
    std::string text() const;

    friend bool operator==(const ServiceError&, const ServiceError&) = default;
};

using ServiceStatus = std::expected<void, ServiceError>;

// Refuses, before any system call receives them, texts that NUL-terminated UTF-16 would cut.
ServiceStatus check_text(std::string_view text, std::string_view field);
ServiceStatus check_elements(const std::vector<std::string>& list, std::string_view field);

// ERROR_CALL_NOT_IMPLEMENTED: the answer to a control the service does not take.
inline constexpr std::uint32_t kCallNotImplemented = 120;

}  // namespace snv::svc
