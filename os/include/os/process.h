#pragma once

#include <string>

#include "os/error.h"
#include "os/path.h"

namespace snv::os {

// The running process: how it was started, and its end.
class Process {
  public:
    virtual ~Process() = default;

    // The whole command line as one Windows-style text, in UTF-8 (an unpaired UTF-16 surrogate
    // becomes U+FFFD). The Linux stand-in quotes its arguments so that the Windows splitting
    // rules give them back.
    virtual std::string command_line() = 0;

    // Full path of the running executable.
    virtual Result<NativePath> executable_path() = 0;
};

Process& real_process();

// Ends the process at once with the given exit code.
[[noreturn]] void exit_process(int code);

}  // namespace snv::os
