#pragma once

#include <chrono>
#include <expected>
#include <memory>

#include "history/store.h"
#include "os/clock.h"
#include "os/path.h"

namespace snv::history {

// While another process holds the file we try again after this pause, for as long as less
// than kOpenPatience has passed since the first attempt began.
inline constexpr std::chrono::milliseconds kOpenRetryPause{20};
inline constexpr std::chrono::milliseconds kOpenPatience{3000};

// Opens the history database, waiting while it is "already open"; every other error at once.
std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open_history_db(
    HistoryStore& store, os::Clock& clock, const os::NativePath& path);

}  // namespace snv::history
