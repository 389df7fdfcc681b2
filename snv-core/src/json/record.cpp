#include "json/record.h"

#include <cstdint>
#include <string_view>

#include "json/same_key.h"

namespace snv::json {

Checked read_record(Reader& in, std::span<const Field> fields) {
    switch (in.peek()) {
        case ValueKind::object:
            if (auto ok = in.enter_object(); !ok) return ok;
            return read_object_fields(in, fields);
        case ValueKind::array:
            if (auto ok = in.enter_array(); !ok) return ok;
            return read_positional_fields(in, fields);
        default:
            return reject("record expected");
    }
}

Checked read_object_fields(Reader& in, std::span<const Field> fields, OtherMembers others) {
    std::uint64_t seen = 0;
    if (fields.size() > 64) return reject("record with more than 64 fields");
    for (;;) {
        auto key = in.next_key();
        if (!key) return std::unexpected(key.error());
        if (!*key) break;
        std::size_t i = 0;
        while (i < fields.size() && !same_key(fields[i].key(), **key)) ++i;
        if (i == fields.size()) {
            if (others == OtherMembers::skipped) {
                in.skip();
            } else if (auto value = in.capture(); !value) {
                return std::unexpected(value.error());
            }
            continue;
        }
        const std::uint64_t bit = std::uint64_t{1} << i;
        if (seen & bit) return reject("repeated key");
        seen |= bit;
        if (auto ok = fields[i].read(in); !ok) return ok;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].required() && !(seen & (std::uint64_t{1} << i))) {
            return reject("required key missing");
        }
    }
    return {};
}

Checked read_positional_fields(Reader& in, std::span<const Field> fields) {
    std::size_t i = 0;
    while (in.next_element()) {
        if (i == fields.size()) return reject("more values than fields");
        const std::size_t before = in.position();
        if (auto ok = fields[i].read(in); !ok) return ok;
        // A field reader that leaves its value would shift every later field.
        if (in.position() == before) return reject("field value left unread");
        ++i;
    }
    for (; i < fields.size(); ++i) {
        if (fields[i].required()) return reject("required value missing");
    }
    return {};
}

Read<std::string_view> read_enum_name(Reader& in, EnumForms forms) {
    if (in.peek() == ValueKind::string) return in.string();
    if (in.peek() != ValueKind::object) return reject("enumeration name expected");
    if (auto ok = in.enter_object(); !ok) return std::unexpected(ok.error());
    auto name = in.next_key();
    if (!name) return std::unexpected(name.error());
    if (!*name) return reject("enumeration object without key");
    if (in.peek() == ValueKind::null) {
        if (auto ok = in.null(); !ok) return std::unexpected(ok.error());
    } else if (forms == EnumForms::null_or_empty_object_member && in.peek() == ValueKind::object) {
        if (auto ok = in.enter_object(); !ok) return std::unexpected(ok.error());
        auto inner = in.next_key();
        if (!inner) return std::unexpected(inner.error());
        if (*inner) return reject("enumeration value must be empty");
    } else {
        return reject("enumeration value must be null");
    }
    auto second = in.next_key();
    if (!second) return std::unexpected(second.error());
    if (*second) return reject("enumeration object with a second key");
    return **name;
}

}  // namespace snv::json
