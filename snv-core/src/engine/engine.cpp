#include "engine/engine.h"

#include <functional>

namespace snv::engine {

namespace {

std::size_t mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

std::size_t FiredKeyHash::operator()(const FiredKey& key) const {
    std::size_t h = std::hash<std::string>{}(key.task_id);
    h = mix(h, std::hash<std::int64_t>{}(key.date.days()));
    h = mix(h, std::hash<std::uint64_t>{}((std::uint64_t{key.time.seconds()} << 32) |
                                          key.time.nanos()));
    return h;
}

std::string_view trigger_kind_name(TriggerKind kind) {
    switch (kind) {
        case TriggerKind::timer:
            return "timer";
        case TriggerKind::idle:
            return "idle";
        case TriggerKind::cpu:
            return "cpu";
    }
    return "timer";
}

Engine::Engine(const EngineEnv& environment)
    : env(environment), cpu_prev(env.processor_times.read()) {}

}  // namespace snv::engine
