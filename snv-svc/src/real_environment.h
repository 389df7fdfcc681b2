#pragma once

#include "engine/engine.h"
#include "history/history_log.h"

namespace snv::svc {

// The engine's environment on the real operating system and the process's data folder.
// Built once by the service run or the console run, and kept for as long as the engine.
class RealEnvironment {
  public:
    RealEnvironment();
    RealEnvironment(const RealEnvironment&) = delete;
    RealEnvironment& operator=(const RealEnvironment&) = delete;

    const engine::EngineEnv& env() const { return env_; }

  private:
    history::HistoryLog history_;
    engine::EngineEnv env_;
};

}  // namespace snv::svc
