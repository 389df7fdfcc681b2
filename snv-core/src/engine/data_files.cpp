#include "engine/data_files.h"

namespace snv::engine {

const DataFiles& DataFiles::update(const os::NativePath* current) {
    if (current == nullptr) {
        *this = {};
    } else if (!folder || *folder != *current) {
        folder = *current;
        tasks = os::join(*current, "tasks.json");
        settings = os::join(*current, "settings.json");
    }
    return *this;
}

}  // namespace snv::engine
