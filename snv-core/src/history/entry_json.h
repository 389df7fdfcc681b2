#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "history/entry.h"
#include "json/reader.h"
#include "model/action.h"

namespace snv::history {

// The compact JSON text of an entry: members time, kind, action (only when set) and detail
// (only when not empty), in that order, no white space outside strings, on one line.
std::string write_entry_json(const Entry& entry);

// One entry text, object or positional form, by the strict JSON reading rules.
json::Read<Entry> read_entry(std::string_view text);

// "kind": the name as a string or as {"name": null}.
json::Read<EntryKind> read_entry_kind(json::Reader& in);
// "action": null for none, else an action name in either form.
json::Read<std::optional<model::Action>> read_entry_action(json::Reader& in);

}  // namespace snv::history
