#include "history/append_entry.h"

#include "history/entry_writer.h"

namespace snv::history {

os::Status append_history_entry(HistoryEnv env, const os::NativePath& path, const Entry& entry) {
    return append_history_text(env, path, write_entry_json(entry));
}

}  // namespace snv::history
