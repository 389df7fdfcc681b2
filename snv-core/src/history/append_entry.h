#pragma once

#include "history/append.h"
#include "history/entry.h"

namespace snv::history {

// Writes the entry's text and appends it (see append_history_text).
os::Status append_history_entry(HistoryEnv env, const os::NativePath& path, const Entry& entry);

}  // namespace snv::history
