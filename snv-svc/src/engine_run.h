#pragma once

#include <chrono>
#include <functional>

#include "engine/engine.h"
#include "real_environment.h"

namespace snv::svc {

// The time between two ticks: the service waits this long for a stop, the console sleeps it.
inline constexpr std::chrono::seconds kTickPeriod{1};

// One tick of the engine a run drives; it owns the engine, which goes when it is dropped.
using Tick = std::move_only_function<void()>;
// Builds the engine of one run and hands back its tick.
using StartEngine = std::function<Tick()>;

// The engine on the real operating system, with the environment it runs in.
class RealEngine {
  public:
    RealEngine() : engine_(env_.env()) {}
    RealEngine(const RealEngine&) = delete;
    RealEngine& operator=(const RealEngine&) = delete;

    void tick() { engine_.tick(); }
    engine::Engine& engine() { return engine_; }

  private:
    RealEnvironment env_;
    engine::Engine engine_;
};

// What the service runs: a new real engine for the run.
StartEngine start_real_engine();

}  // namespace snv::svc
