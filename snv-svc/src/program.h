#pragma once

#include <string>
#include <vector>

namespace snv::svc {

// The whole program for the arguments after the program name: returns only for exit code 0,
// every other outcome ends the process with its exit code.
int run_program(std::vector<std::string> args);

// `run_program` on the process's own command line.
int program_main();

}  // namespace snv::svc
