#include "model/trigger_reader.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/record.h"
#include "json/values.h"
#include "model/read_helpers.h"

namespace snv::model {

// Value readers picked by type (through argument-dependent lookup) by the record fields.
static json::Checked read_value(json::Reader& in, Nth& out);
static json::Checked read_value(json::Reader& in, MonthDay& out);

namespace {

// The tag among the members of an entered tagged object: read before them, it may not stand
// again; read from the whole object captured first, it stands among them, checked, and is
// passed over.
constexpr auto tag_given_twice = [](json::Reader&) -> json::Checked {
    return json::reject("tag given twice");
};
constexpr auto tag_passed_over = [](json::Reader& r) -> json::Checked {
    r.skip();
    return {};
};

// The members of an entered tagged object up to its end: the tag's field, the variant's
// `fields`, and other members checked as captured values are, then dropped (they may even
// repeat).
json::Checked read_variant_members(json::Reader& in, const json::Field& tag,
                                   std::span<const json::Field> fields) {
    std::array<json::Field, 8> all;
    if (fields.size() >= all.size()) return json::reject("tagged record with too many fields");
    all[0] = tag;
    std::copy(fields.begin(), fields.end(), all.begin() + 1);
    return json::read_object_fields(in, std::span(all.data(), fields.size() + 1),
                                    json::OtherMembers::captured);
}

// Reads a tagged record: `read_tag` reads the tag's value, `fields_of(tag, record, read)` has
// `read` take the fields of that variant in the object or positional form.
template <typename T, typename ReadTag, typename Fields>
json::Read<T> read_tagged(json::Reader& in, std::string_view tag_key, ReadTag read_tag,
                          Fields fields_of) {
    T record{};
    if (in.object_starts_with_key(tag_key)) {
        // The tag first, as the programs write it: one pass.
        if (auto ok = in.enter_object(); !ok) return std::unexpected(ok.error());
        if (auto key = in.next_key(); !key) return std::unexpected(key.error());
        auto tag = read_tag(in);
        if (!tag) return std::unexpected(tag.error());
        auto ok = fields_of(*tag, record, [&](std::initializer_list<json::Field> fields) {
            return read_variant_members(in, json::with_default(tag_key, tag_given_twice),
                                        std::span(fields.begin(), fields.size()));
        });
        if (!ok) return std::unexpected(ok.error());
        return record;
    }
    if (in.peek() == json::ValueKind::object) {
        // The tag later: the object is taken whole and read again once the tag is known, so
        // that none of its members need be kept, however many there are.
        auto whole = in.capture();
        if (!whole) return std::unexpected(whole.error());
        auto tag_value = whole->unique_member(tag_key);
        if (!tag_value) return std::unexpected(tag_value.error());
        if (!*tag_value) return json::reject("tag missing");
        json::Reader tag_in = (*tag_value)->reader();
        auto tag = read_tag(tag_in);
        if (!tag) return std::unexpected(tag.error());
        if (!tag_in.finished()) return json::reject("tag value not read whole");
        json::Reader body = whole->reader();
        if (auto ok = body.enter_object(); !ok) return std::unexpected(ok.error());
        auto ok = fields_of(*tag, record, [&](std::initializer_list<json::Field> fields) {
            return read_variant_members(body, json::with_default(tag_key, tag_passed_over),
                                        std::span(fields.begin(), fields.size()));
        });
        if (!ok) return std::unexpected(ok.error());
        return record;
    }
    if (in.peek() == json::ValueKind::array) {
        if (auto ok = in.enter_array(); !ok) return std::unexpected(ok.error());
        if (!in.next_element()) return json::reject("tag missing");
        auto tag = read_tag(in);
        if (!tag) return std::unexpected(tag.error());
        auto ok = fields_of(*tag, record, [&](std::initializer_list<json::Field> fields) {
            return json::read_positional_fields(in, fields);
        });
        if (!ok) return std::unexpected(ok.error());
        return record;
    }
    return json::reject("tagged record must be an object or an array");
}

json::Read<std::size_t> read_trigger_type(json::Reader& in) {
    auto text = in.string();
    if (!text) return std::unexpected(text.error());
    auto type = parse_trigger_type(*text);
    if (!type) return json::reject("unknown trigger type");
    return *type;
}

// Calls `read(fields)` with the fields of variant number `type`, stored into `trigger`.
template <typename ReadFields>
json::Checked trigger_fields(std::size_t type, Trigger& trigger, ReadFields read) {
    switch (type) {
        case 0: {
            auto& v = trigger.value.emplace<Trigger::Once>();
            return read({json::required("at", v.at)});
        }
        case 1: {
            auto& v = trigger.value.emplace<Trigger::Daily>();
            return read({json::required("time", v.time), json::with_default("every", v.every),
                         json::required("start", v.start)});
        }
        case 2: {
            auto& v = trigger.value.emplace<Trigger::Weekly>();
            return read({json::required("time", v.time), json::with_default("every", v.every),
                         json::required("days", v.days), json::required("start", v.start)});
        }
        case 3: {
            auto& v = trigger.value.emplace<Trigger::Monthly>();
            return read({json::required("time", v.time), json::with_default("months", v.months),
                         json::required("on", v.on)});
        }
        case 4: {
            auto& v = trigger.value.emplace<Trigger::Idle>();
            return read({json::required("minutes", v.minutes)});
        }
        default: {
            auto& v = trigger.value.emplace<Trigger::Cpu>();
            return read({json::required("percent", v.percent), json::required("minutes", v.minutes),
                         json::with_default("below", v.below)});
        }
    }
}

template <typename ReadFields>
json::Checked month_day_fields(std::size_t kind, MonthDay& on, ReadFields read) {
    if (kind == 0) {
        auto& v = on.value.emplace<MonthDay::Date>();
        return read({json::required("day", v.day)});
    }
    auto& v = on.value.emplace<MonthDay::Weekday>();
    return read({json::required("nth", v.nth), json::required("weekday", v.weekday)});
}

}  // namespace

json::Read<Trigger> read_trigger(json::Reader& in) {
    return read_tagged<Trigger>(in, "type", read_trigger_type,
                                [](std::size_t type, Trigger& trigger, auto read) {
                                    return trigger_fields(type, trigger, read);
                                });
}

json::Read<MonthDay> read_month_day(json::Reader& in) {
    return read_tagged<MonthDay>(
        in, "kind", parse_month_day_kind,
        [](std::size_t kind, MonthDay& on, auto read) { return month_day_fields(kind, on, read); });
}

json::Read<std::size_t> parse_month_day_kind(json::Reader& in) {
    if (in.peek() == json::ValueKind::number) {
        auto number = in.u32();
        if (!number) return std::unexpected(number.error());
        if (*number > 1) return json::reject("unknown month-day kind number");
        return static_cast<std::size_t>(*number);
    }
    auto text = in.string();
    if (!text) return std::unexpected(text.error());
    auto kind = parse_month_day_kind_name(*text);
    if (!kind) return json::reject("unknown month-day kind");
    return *kind;
}

json::Read<DayOfWeek> parse_day_of_week(json::Reader& in) {
    return read_named(in, parse_day_of_week_name, json::EnumForms::null_or_empty_object_member);
}

json::Read<Nth> parse_nth(json::Reader& in) {
    return read_named(in, parse_nth_name, json::EnumForms::null_or_empty_object_member);
}

json::Checked read_value(json::Reader& in, DayOfWeek& out) {
    return store(parse_day_of_week(in), out);
}
static json::Checked read_value(json::Reader& in, Nth& out) {
    return store(parse_nth(in), out);
}
static json::Checked read_value(json::Reader& in, MonthDay& out) {
    return store(read_month_day(in), out);
}

}  // namespace snv::model
