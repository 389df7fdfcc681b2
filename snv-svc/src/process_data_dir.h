#pragma once

#include "paths/data_dir.h"

namespace snv::svc {

// The data folder of this process, on the real environment and file system: fixed by
// "--data" or by its first read, and shared by every thread of the program.
paths::DataDir& process_data_dir();

}  // namespace snv::svc
