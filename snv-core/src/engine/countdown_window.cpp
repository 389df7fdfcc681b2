#include "engine/countdown_window.h"

#include "model/task_file.h"

namespace snv::engine {

namespace {

constexpr std::string_view kDesktopProgram = "Duskpanel.exe";

}  // namespace

bool desktop_app_running(os::Sessions& sessions) {
    return sessions.mutex_exists(kDesktopMutexName);
}

os::NativePath countdown_exe_path(os::Process& process) {
    if (auto self = process.executable_path()) {
        const os::NativePath folder = os::folder_of(*self);
        if (!folder.empty()) return os::join(folder, kDesktopProgram);
    }
    return os::join(os::to_native("."), kDesktopProgram);
}

std::string notify_command_line(const os::NativePath& exe, model::Action action, TriggerKind kind,
                                std::string_view task_id) {
    std::string line = "\"" + os::to_utf8(exe) + "\" --notify ";
    line += model::action_name(action);
    line += ' ';
    line += trigger_kind_name(kind);
    line += ' ';
    line += task_id;
    return line;
}

os::Status launch_countdown_window(const EngineEnv& env, model::Action action, TriggerKind kind,
                                   std::string_view task_id) {
    // The paths reach the call as text, as the command line does: an unpaired surrogate in the
    // executable's path becomes U+FFFD in the program, its folder and the line alike.
    const os::NativePath exe = os::to_native(os::to_utf8(countdown_exe_path(env.process)));
    const std::string command_line = notify_command_line(exe, action, kind, task_id);
    const std::optional<std::uint32_t> session = env.sessions.active_console_session();
    if (!session) return std::unexpected(os::Error::own(std::string(kNoConsoleSession)));
    const os::NativePath folder = os::folder_of(exe);
    return env.launcher.start_as_session_user(
        *session, exe, command_line,
        folder.empty() ? std::nullopt : std::optional<os::NativePath>(folder));
}

void remove_temporary_task(const EngineEnv& env, std::string_view task_id) {
    const os::NativePath* folder = env.data_dir.get();
    if (!folder) return;
    (void)model::remove_temporary_task_from_file(os::join(*folder, "tasks.json"), task_id,
                                                 env.files);
}

}  // namespace snv::engine
