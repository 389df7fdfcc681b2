#include "engine_run.h"

#include <memory>

#include "engine/plan_reload.h"

namespace snv::svc {

void tick_engine(engine::Engine& engine) {
    // Until the engine's own tick lands, a run keeps today's plan current and nothing more.
    os::LocalTime now = engine.env.clock.local_now();
    if (auto today = calendar::Date::from_civil(now.year, now.month, now.day)) {
        engine::refresh_day_plan(engine, *today);
    }
}

StartEngine start_real_engine() {
    return [] {
        auto real = std::make_unique<RealEngine>();
        return Tick([real = std::move(real)] { real->tick(); });
    };
}

}  // namespace snv::svc
