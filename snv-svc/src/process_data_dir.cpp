#include "process_data_dir.h"

#include "os/environment.h"
#include "os/file_system.h"

namespace snv::svc {

paths::DataDir& process_data_dir() {
    // Never destroyed: the service thread may still read it while the process ends.
    static paths::DataDir* dir = new paths::DataDir(os::real_environment(), os::real_file_system());
    return *dir;
}

}  // namespace snv::svc
