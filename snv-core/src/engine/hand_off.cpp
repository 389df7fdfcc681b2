#include <chrono>

#include "engine/countdown_window.h"
#include "engine/engine.h"

namespace snv::engine {

void Engine::hand_off(DueItem item) {
    // Before the countdown, whatever becomes of the action: a temporary task is spent.
    remove_temporary_task(env, item.task_id);
    if (user_signed_in) {
        const os::Status started =
            launch_countdown_window(env, item.action, item.kind, item.task_id);
        if (started) return;  // the desktop program owns the countdown and the action now
        env.history.record_history(history::EntryKind::error, item.action,
                                   "Cannot show countdown window: " + started.error().to_string());
    }
    const os::MonotonicTime deadline =
        env.clock.monotonic_now() + std::chrono::seconds(settings.countdown.seconds);
    pending.push_back({deadline, std::move(item)});
}

}  // namespace snv::engine
