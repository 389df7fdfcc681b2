#pragma once

#include <string>

#include "history/entry.h"

namespace snv::history {

// The compact JSON text of an entry: members time, kind, action (only when set) and detail
// (only when not empty), in that order, no white space outside strings, on one line.
std::string write_entry_json(const Entry& entry);

}  // namespace snv::history
