#pragma once

#include <optional>

#include "os/path.h"

namespace snv::engine {

// The paths of tasks.json and settings.json in the data folder, kept between calls so that
// a call that does not reload allocates nothing; rebuilt whenever the folder differs.
struct DataFiles {
    std::optional<os::NativePath> folder;  // none: no data folder, both files count as missing
    os::NativePath tasks;
    os::NativePath settings;

    // Brings the paths in line with `current` (null while no folder can be formed).
    const DataFiles& update(const os::NativePath* current);
};

}  // namespace snv::engine
