#include "engine/detail_text.h"
#include "engine/engine.h"
#include "engine/power_actions.h"

namespace snv::engine {

void Engine::run_pending() {
    if (pending.empty()) return;
    const os::MonotonicTime now = env.clock.monotonic_now();
    std::vector<PendingAction> due;
    std::vector<PendingAction> waiting;
    for (PendingAction& entry : pending) {
        (entry.deadline <= now ? due : waiting).push_back(std::move(entry));
    }
    // The queue holds only the waiting entries before any action starts.
    pending = std::move(waiting);

    for (const PendingAction& entry : due) {
        const model::Action action = entry.item.action;
        env.history.record_history(history::EntryKind::executed, action,
                                   execution_detail(tasks, entry.item.task_id));
        const os::Status done =
            execute_action(env.power, env.sessions, action, settings.force_close_apps);
        if (!done) {
            env.history.record_history(history::EntryKind::error, action, done.error().to_string());
        }
    }
}

}  // namespace snv::engine
