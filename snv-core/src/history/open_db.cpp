#include "history/open_db.h"

namespace snv::history {

std::expected<std::unique_ptr<HistoryDatabase>, OpenError> open_history_db(
    HistoryStore& store, os::Clock& clock, const os::NativePath& path) {
    const os::MonotonicTime start = clock.monotonic_now();
    for (;;) {
        auto db = store.open(path);
        if (db || db.error().kind != OpenError::Kind::already_open) return db;
        if (clock.monotonic_now() - start >= kOpenPatience) return db;
        clock.sleep_for(kOpenRetryPause);
    }
}

}  // namespace snv::history
