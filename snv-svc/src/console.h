#pragma once

namespace snv::svc {

// `/console`: runs the engine in the console until the process is ended. Never returns.
[[noreturn]] void run_console();

}  // namespace snv::svc
