#include "json/values.h"

#include "calendar/text.h"

namespace snv::json {

Checked read_value(Reader& in, std::string& out) {
    auto s = in.string();
    if (!s) return std::unexpected(s.error());
    out.assign(*s);
    return {};
}

Checked read_value(Reader& in, bool& out) {
    auto b = in.boolean();
    if (!b) return std::unexpected(b.error());
    out = *b;
    return {};
}

Checked read_value(Reader& in, std::uint32_t& out) {
    auto n = in.u32();
    if (!n) return std::unexpected(n.error());
    out = *n;
    return {};
}

namespace {

// A value in one of the calendar's text forms, inside a JSON string.
template <typename T, typename Parse>
Checked read_text_form(Reader& in, T& out, Parse parse, std::string_view what) {
    auto s = in.string();
    if (!s) return std::unexpected(s.error());
    auto value = parse(*s);
    if (!value) return reject(what);
    out = *value;
    return {};
}

}  // namespace

Checked read_value(Reader& in, calendar::Date& out) {
    return read_text_form(in, out, calendar::parse_date, "date expected");
}

Checked read_value(Reader& in, calendar::TimeOfDay& out) {
    return read_text_form(in, out, calendar::parse_time_of_day, "time of day expected");
}

Checked read_value(Reader& in, calendar::DateTime& out) {
    return read_text_form(in, out, calendar::parse_date_time, "date-time expected");
}

}  // namespace snv::json
