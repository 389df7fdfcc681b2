// Prints the data folder that this process fixes (a first argument is set as by --data), then
// the path of its tasks.json.
#include <string>

#include "os/console.h"
#include "os/path.h"
#include "process_data_dir.h"

int main(int argc, char** argv) {
    using namespace snv;
    paths::DataDir& data_dir = svc::process_data_dir();
    if (argc > 1) data_dir.set(os::to_native(argv[1]));
    const os::NativePath* dir = data_dir.get();
    std::string out = dir != nullptr ? os::to_utf8(*dir) + "\n" : "<none>\n";
    if (dir != nullptr) out += os::to_utf8(os::join(*dir, "tasks.json")) + "\n";
    os::real_console().write_out(out);
    return 0;
}
