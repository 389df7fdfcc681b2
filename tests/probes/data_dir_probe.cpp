// Prints the data folder that this process fixes: "set:" runs --data's road first.
#include <string>

#include "os/console.h"
#include "os/path.h"
#include "paths/data_dir.h"

int main(int argc, char** argv) {
    using namespace snv;
    if (argc > 1) paths::set_data_dir(os::to_native(argv[1]));
    const os::NativePath* dir = paths::data_dir();
    os::real_console().write_out(dir != nullptr ? os::to_utf8(*dir) + "\n" : "<none>\n");
    return 0;
}
