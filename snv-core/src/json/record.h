#pragma once

// Records in object form ({"key": value, ...}, keys in any order, unknown keys skipped with
// their values, a known key twice rejected) or in positional form ([value, ...] in field
// order, trailing defaulted fields may be left out), and enumerations given as "name" or as
// {"name": null}.
//
// A field names its key and either a target variable, read by the read_value overload of
// its type, or a callable `Checked(Reader&)`. The record variable holds the defaults before
// the call; a `with_default` field whose key is missing keeps it, a missing `required` field
// rejects. Build the field list inline in the call: a field refers to its callable, which
// lives until the end of that full expression.
//
//     Task t;
//     auto ok = json::read_record(in, {
//         json::required("id", t.id),
//         json::with_default("name", t.name),
//         json::required("action", [&](json::Reader& r) { return read_task_action(r, t.action); }),
//     });

#include <array>
#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include "json/reader.h"
#include "json/values.h"

namespace snv::json {

class Field {
  public:
    using Thunk = Checked (*)(void*, Reader&);
    Field() = default;  // no key; a place in an array filled later
    Field(std::string_view key, bool required, void* target, Thunk thunk)
        : key_(key), required_(required), target_(target), thunk_(thunk) {}

    std::string_view key() const { return key_; }
    bool required() const { return required_; }
    Checked read(Reader& in) const { return thunk_(target_, in); }

  private:
    std::string_view key_;
    bool required_ = false;
    void* target_ = nullptr;
    Thunk thunk_ = nullptr;
};

template <typename T>
Field make_field(std::string_view key, bool required, T&& target) {
    using U = std::remove_reference_t<T>;
    void* p = const_cast<void*>(static_cast<const void*>(&target));
    if constexpr (std::invocable<U&, Reader&>) {
        return Field(key, required, p,
                     [](void* f, Reader& in) -> Checked { return (*static_cast<U*>(f))(in); });
    } else {
        static_assert(std::is_lvalue_reference_v<T>, "a field target must be a variable");
        return Field(key, required, p, [](void* v, Reader& in) -> Checked {
            return read_value(in, *static_cast<U*>(v));
        });
    }
}

template <typename T>
Field required(std::string_view key, T&& target) {
    return make_field(key, true, std::forward<T>(target));
}

template <typename T>
Field with_default(std::string_view key, T&& target) {
    return make_field(key, false, std::forward<T>(target));
}

// Object or positional form, by the JSON type of the value; anything else is rejected.
Checked read_record(Reader& in, std::span<const Field> fields);
inline Checked read_record(Reader& in, std::initializer_list<Field> fields) {
    return read_record(in, std::span(fields.begin(), fields.size()));
}

// What read_object_fields does with a member whose key names no field.
enum class OtherMembers {
    skipped,   // records: any value, scanned for its syntax only
    captured,  // tagged objects: checked as a captured value is, then dropped
};

// The parts of read_record, for records whose reading starts by hand (a tag first):
// the members of an object already entered, up to its end ...
Checked read_object_fields(Reader& in, std::span<const Field> fields,
                           OtherMembers others = OtherMembers::skipped);
inline Checked read_object_fields(Reader& in, std::initializer_list<Field> fields,
                                  OtherMembers others = OtherMembers::skipped) {
    return read_object_fields(in, std::span(fields.begin(), fields.size()), others);
}
// ... and the remaining elements of an array already entered, up to its end.
Checked read_positional_fields(Reader& in, std::span<const Field> fields);
inline Checked read_positional_fields(Reader& in, std::initializer_list<Field> fields) {
    return read_positional_fields(in, std::span(fields.begin(), fields.size()));
}

enum class EnumForms {
    null_member,                  // "name" or {"name": null}
    null_or_empty_object_member,  // also {"name": {}}
};

// The name of an enumeration value in either form; its table decides whether it exists.
Read<std::string_view> read_enum_name(Reader& in, EnumForms forms = EnumForms::null_member);

}  // namespace snv::json
