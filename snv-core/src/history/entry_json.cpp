#include "history/entry_json.h"

#include "calendar/text.h"
#include "json/escape.h"
#include "json/record.h"
#include "json/values.h"

namespace snv::history {

json::Read<EntryKind> read_entry_kind(json::Reader& in) {
    auto name = json::read_enum_name(in);
    if (!name) return std::unexpected(name.error());
    if (auto kind = parse_entry_kind(*name)) return *kind;
    return json::reject("unknown entry kind");
}

json::Read<std::optional<model::Action>> read_entry_action(json::Reader& in) {
    if (in.peek() == json::ValueKind::null) {
        if (auto ok = in.null(); !ok) return std::unexpected(ok.error());
        return std::optional<model::Action>{};
    }
    auto name = json::read_enum_name(in);
    if (!name) return std::unexpected(name.error());
    if (auto action = model::parse_action(*name)) return action;
    return json::reject("unknown action");
}

namespace {

json::Read<Entry> read_entry_value(json::Reader& in) {
    Entry entry;
    auto kind = [&](json::Reader& r) -> json::Checked {
        auto value = read_entry_kind(r);
        if (!value) return std::unexpected(value.error());
        entry.kind = *value;
        return {};
    };
    auto action = [&](json::Reader& r) -> json::Checked {
        auto value = read_entry_action(r);
        if (!value) return std::unexpected(value.error());
        entry.action = *value;
        return {};
    };
    auto ok = json::read_record(in, {
                                        json::required("time", entry.time),
                                        json::required("kind", kind),
                                        json::with_default("action", action),
                                        json::with_default("detail", entry.detail),
                                    });
    if (!ok) return std::unexpected(ok.error());
    return entry;
}

}  // namespace

json::Read<Entry> read_entry(std::string_view text) {
    return json::read_document(text, read_entry_value);
}

std::string write_entry_json(const Entry& entry) {
    std::string out;
    out.reserve(128);  // most entries fit
    out += R"({"time":")";
    out += calendar::format_date_time(entry.time);
    out += R"(","kind":")";
    out += entry_kind_name(entry.kind);
    out += '"';
    if (entry.action) {
        out += R"(,"action":")";
        out += model::action_name(*entry.action);
        out += '"';
    }
    if (!entry.detail.empty()) {
        out += R"(,"detail":)";
        json::append_quoted(out, entry.detail);
    }
    out += '}';
    return out;
}

}  // namespace snv::history
