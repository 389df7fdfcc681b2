#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "json/same_key.h"

namespace snv::model {

// The JSON names of an enumeration whose values are 0 to N-1, in value order.
template <typename Enum, std::size_t N>
struct NameTable {
    std::array<std::string_view, N> names;

    std::string_view name(Enum value) const { return names[static_cast<std::size_t>(value) % N]; }

    // Exact, case-sensitive comparison, as the desktop program's files require.
    std::optional<Enum> parse(std::string_view text) const {
        for (std::size_t i = 0; i < N; ++i) {
            if (json::same_key(names[i], text)) return static_cast<Enum>(i);
        }
        return std::nullopt;
    }
};

}  // namespace snv::model
