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

}  // namespace snv::svc
