#include "history/entry_writer.h"

#include "calendar/text.h"
#include "json/escape.h"

namespace snv::history {

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
