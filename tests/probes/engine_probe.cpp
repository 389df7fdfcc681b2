// Runs the engine on the real operating system: the data folder given first, then one tick a
// second for the number of seconds given second. After each tick prints one line:
//   tick N signed_in 0|1 desktop 0|1 pending P tasks T
// (T: the tasks of the last reload of tasks.json).
#include <chrono>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "os/clock.h"
#include "os/console.h"
#include "os/path.h"
#include "process_data_dir.h"
#include "real_environment.h"

int main(int argc, char** argv) {
    using namespace snv;
    if (argc < 3) {
        os::real_console().write_err("usage: engine_probe DATA_FOLDER SECONDS\n");
        return 2;
    }
    svc::process_data_dir().set(os::to_native(argv[1]));
    const int seconds = std::atoi(argv[2]);
    const svc::RealEnvironment real;
    engine::Engine engine(real.env());
    for (int i = 0; i < seconds; ++i) {
        if (i > 0) os::real_clock().sleep_for(std::chrono::seconds(1));
        engine.tick();
        os::real_console().write_out("tick " + std::to_string(i) + " signed_in " +
                                     (engine.user_signed_in ? "1" : "0") + " desktop " +
                                     (engine.desktop_running ? "1" : "0") + " pending " +
                                     std::to_string(engine.pending.size()) + " tasks " +
                                     std::to_string(engine.tasks.size()) + "\n");
    }
    return 0;
}
