#pragma once

#include <string_view>

#include "history/store.h"
#include "os/clock.h"
#include "os/error.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::history {

// What an append reaches the outside world through.
struct HistoryEnv {
    HistoryStore& store;
    os::Clock& clock;
    os::FileSystem& files;
};

// Stores an entry text under the largest key plus one (0 in an empty table), after importing
// a history.jsonl beside the database, and trims the table to its limit, in one commit.
os::Status append_history_text(HistoryEnv env, const os::NativePath& path, std::string_view text);

}  // namespace snv::history
