#pragma once

#include <cstdint>

#include "history/store.h"
#include "os/error.h"

namespace snv::history {

// The table never holds more entries than this after one of our commits.
inline constexpr std::uint64_t kHistoryLimit = 10000;

// Removes the entries with the smallest keys until at most kHistoryLimit remain. The first
// storage error is returned; the caller then abandons its transaction.
os::Status prune_history(HistoryTable& table);

}  // namespace snv::history
