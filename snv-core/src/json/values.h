#pragma once

// Readers of the field value types, all named read_value so that record fields and lists can
// pick them by type. A record's own types add overloads of their own (found by ADL).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"
#include "json/reader.h"

namespace snv::json {

Checked read_value(Reader& in, std::string& out);  // a string; null is rejected
Checked read_value(Reader& in, bool& out);         // true or false only
Checked read_value(Reader& in, std::uint32_t& out);
// The text forms of the data files: a date; a time of day with or without seconds; a
// date-time with seconds.
Checked read_value(Reader& in, calendar::Date& out);
Checked read_value(Reader& in, calendar::TimeOfDay& out);
Checked read_value(Reader& in, calendar::DateTime& out);

// null for none, else a value of the type.
template <typename T>
Checked read_value(Reader& in, std::optional<T>& out);
// A JSON array, in array order.
template <typename T>
Checked read_value(Reader& in, std::vector<T>& out);

template <typename T>
Checked read_value(Reader& in, std::optional<T>& out) {
    if (in.peek() == ValueKind::null) {
        out.reset();
        return in.null();
    }
    T value{};
    if (auto ok = read_value(in, value); !ok) return ok;
    out = std::move(value);
    return {};
}

template <typename T>
Checked read_value(Reader& in, std::vector<T>& out) {
    if (auto ok = in.enter_array(); !ok) return ok;
    out.clear();
    while (in.next_element()) {
        T value{};
        if (auto ok = read_value(in, value); !ok) return ok;
        out.push_back(std::move(value));
    }
    return {};
}

}  // namespace snv::json
