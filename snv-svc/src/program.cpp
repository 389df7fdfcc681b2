#include "program.h"

#include "command.h"
#include "command_line.h"
#include "console.h"
#include "install.h"
#include "os/console.h"
#include "os/process.h"
#include "report_error.h"
#include "service.h"

namespace snv::svc {

int run_program(std::vector<std::string> args) {
    if (!args.empty()) take_data_option(args);
    if (args.empty()) {
        if (auto run = run_dispatcher(); !run) report_error(run.error(), true);
        return 0;
    }
    ParsedCommand parsed = parse_command(args.front());
    switch (parsed.command) {
        case Command::install:
            if (auto done = install_service(); !done) report_error(done.error(), false);
            return 0;
        case Command::uninstall:
            if (auto done = uninstall_service(); !done) report_error(done.error(), false);
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
