#include "program.h"

#include "command.h"
#include "command_line.h"
#include "console.h"
#include "engine_run.h"
#include "install.h"
#include "os/clock.h"
#include "os/console.h"
#include "os/process.h"
#include "os/service_dispatcher.h"
#include "os/service_manager.h"
#include "process_data_dir.h"
#include "report_error.h"
#include "service.h"

namespace snv::svc {

int run_program(std::vector<std::string> args) {
    if (!args.empty()) take_data_option(args);
    if (args.empty()) {
        auto run = run_dispatcher(os::real_service_dispatcher(), start_real_engine());
        if (!run) report_error(run.error(), true);
        return 0;
    }
    ParsedCommand parsed = parse_command(args.front());
    switch (parsed.command) {
        case Command::install:
            if (auto done = install_service(os::real_service_manager(), os::real_process(),
                                            process_data_dir());
                !done) {
                report_error(done.error(), false);
            }
            return 0;
        case Command::uninstall:
            if (auto done = uninstall_service(os::real_service_manager(), os::real_clock());
                !done) {
                report_error(done.error(), false);
            }
            return 0;
        case Command::console:
            run_console();
        case Command::unknown:
            break;
    }
    os::real_console().write_err("Unknown option '" + parsed.text +
                                 "'. Use /install, /uninstall or /console.\n");
    os::exit_process(2);
}

int program_main() {
    std::vector<std::string> args = split_command_line(os::real_process().command_line());
    args.erase(args.begin());  // the program name
    return run_program(std::move(args));
}

}  // namespace snv::svc
