#pragma once

#include <expected>
#include <string_view>

namespace snv::json {

// Why a document was rejected. Nobody shows or stores it; it helps tests and debugging.
struct Reject {
    std::string_view reason;  // a string literal
};

template <typename T>
using Read = std::expected<T, Reject>;
using Checked = std::expected<void, Reject>;

inline std::unexpected<Reject> reject(std::string_view reason) {
    return std::unexpected(Reject{reason});
}

}  // namespace snv::json
