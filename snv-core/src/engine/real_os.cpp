#include "engine/engine.h"
#include "paths/data_dir.h"

namespace snv::engine {

EngineOs EngineOs::real() {
    return {&os::real_clock(), &os::real_processor_times(), &os::real_file_stamps(),
            &paths::data_dir};
}

Engine::Engine() : Engine(EngineOs::real()) {}

}  // namespace snv::engine
