#pragma once

#include <string>
#include <string_view>

#include "engine/engine.h"
#include "model/action.h"
#include "os/error.h"
#include "os/path.h"
#include "os/process.h"
#include "os/sessions.h"

namespace snv::engine {

// The desktop program holds this mutex while it runs.
inline constexpr std::string_view kDesktopMutexName = "Global\\Somnivo.Scheduler";
// The failure of a start while no session is attached to the console.
inline constexpr std::string_view kNoConsoleSession = "no console session";

// Whether the desktop program runs: its mutex exists and may be opened for waiting.
bool desktop_app_running(os::Sessions& sessions);

// Duskpanel.exe beside the running executable; relative to the current folder when the
// executable's folder cannot be found.
os::NativePath countdown_exe_path(os::Process& process);

// The quoted program path, then "--notify", the action, the trigger kind and the task id,
// separated by single blanks. The id goes in as it is: the desktop program expects it so.
std::string notify_command_line(const os::NativePath& exe, model::Action action, TriggerKind kind,
                                std::string_view task_id);

// Starts the desktop program's countdown for this task in the console session, as its user.
os::Status launch_countdown_window(const EngineEnv& env, model::Action action, TriggerKind kind,
                                   std::string_view task_id);

// Removes the task from tasks.json on disk when it is marked temporary. Failures are dropped.
void remove_temporary_task(const EngineEnv& env, std::string_view task_id);

}  // namespace snv::engine
