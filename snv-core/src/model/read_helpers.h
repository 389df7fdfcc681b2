#pragma once

#include <optional>
#include <string_view>
#include <utility>

#include "json/reader.h"
#include "json/record.h"
#include "json/reject.h"

namespace snv::model {

// Moves a successful read into `out`; the shape the record fields want.
template <typename T>
json::Checked store(json::Read<T> read, T& out) {
    if (!read) return std::unexpected(read.error());
    out = std::move(*read);
    return {};
}

// An enumeration in its JSON forms, its name looked up with `parse` (an exact match).
template <typename E>
json::Read<E> read_named(json::Reader& in, std::optional<E> (*parse)(std::string_view),
                         json::EnumForms forms = json::EnumForms::null_member) {
    auto name = json::read_enum_name(in, forms);
    if (!name) return std::unexpected(name.error());
    auto value = parse(*name);
    if (!value) return json::reject("unknown enumeration name");
    return *value;
}

}  // namespace snv::model
