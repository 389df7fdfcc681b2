#pragma once

#include "history/store.h"

namespace snv::history {

// The history store on the redb library, with the library's default settings.
HistoryStore& real_history_store();

}  // namespace snv::history
