#include "service_error.h"

namespace snv::svc {

std::string ServiceError::text() const {
    switch (kind) {
        case Kind::system_call:
            return "IO error in winapi call";
        case Kind::nul_in_text:
            return field + " contains a nul byte";
        case Kind::nul_in_element:
            return field + " contains a nul byte in element at " + std::to_string(index) + " index";
        case Kind::invalid_value:
            return "invalid " + field + " value";
    }
    return "IO error in winapi call";
}

ServiceStatus check_text(std::string_view text, std::string_view field) {
    if (text.find('\0') != std::string_view::npos) {
        return std::unexpected(ServiceError::nul_in_text(std::string(field)));
    }
    return {};
}

ServiceStatus check_elements(const std::vector<std::string>& list, std::string_view field) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].find('\0') != std::string::npos) {
            return std::unexpected(ServiceError::nul_in_element(std::string(field), i));
        }
    }
    return {};
}

}  // namespace snv::svc
