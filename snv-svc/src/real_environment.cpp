#include "real_environment.h"

#include "os/clock.h"
#include "os/cpu_times.h"
#include "os/file_system.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/process.h"
#include "os/sessions.h"
#include "process_data_dir.h"
#include "redb/storage_backend.h"

namespace snv::svc {

RealEnvironment::RealEnvironment()
    : history_(os::real_clock(), os::real_file_system(), process_data_dir(),
               redb::open_file_backend),
      env_{os::real_clock(),       os::real_processor_times(),
           os::real_file_system(), os::real_sessions(),
           os::real_launcher(),    os::real_power(),
           os::real_process(),     history_,
           process_data_dir()} {}

}  // namespace snv::svc
