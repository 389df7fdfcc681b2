#include "history/prune.h"

namespace snv::history {

os::Status prune_history(HistoryTable& table) {
    auto count = table.count();
    if (!count) return std::unexpected(count.error());
    if (*count <= kHistoryLimit) return {};
    // The number of removals is fixed up front; removing from an empty table is harmless.
    for (std::uint64_t i = 0, n = *count - kHistoryLimit; i < n; ++i) {
        if (auto removed = table.remove_first(); !removed) return removed;
    }
    return {};
}

}  // namespace snv::history
