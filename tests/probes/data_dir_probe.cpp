// Prints the data folder that this process fixes (a first argument is set as by --data), then
// the path of its tasks.json.
#include <string>

#include "os/console.h"
#include "os/path.h"
#include "paths/data_dir.h"

int main(int argc, char** argv) {
    using namespace snv;
    if (argc > 1) paths::set_data_dir(os::to_native(argv[1]));
    const os::NativePath* dir = paths::data_dir();
    std::string out = dir != nullptr ? os::to_utf8(*dir) + "\n" : "<none>\n";
    if (auto tasks = paths::data_file("tasks.json")) out += os::to_utf8(*tasks) + "\n";
    os::real_console().write_out(out);
    return 0;
}
