#include "engine_run.h"

#include <memory>

namespace snv::svc {

StartEngine start_real_engine() {
    return [] {
        auto real = std::make_unique<RealEngine>();
        return Tick([real = std::move(real)] { real->tick(); });
    };
}

}  // namespace snv::svc
