#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "history/history_log.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/process.h"
#include "os/sessions.h"
#include "redb/storage_backend.h"
#include "support/fake_os.h"
#include "support/scripted_os.h"

namespace snv::test {

// The sessions, their users, the console session and named mutexes, as the test sets them.
class FakeSessions final : public os::Sessions {
  public:
    // True adds one active session (id kSignedIn) with a user to those listed.
    bool signed_in = false;
    static constexpr std::uint32_t kSignedIn = 1;
    std::vector<os::SessionInfo> listed;
    std::map<std::uint32_t, std::string> user_names;  // the query fails for a session not here
    std::optional<os::Error> enumeration_fails;
    std::optional<std::uint32_t> console_session;
    std::set<std::string> mutexes;
    int enumerations = 0;
    std::vector<std::uint32_t> queried;  // the sessions whose user name was asked for

    os::Result<std::vector<os::SessionInfo>> enumerate_sessions() override {
        ++enumerations;
        if (enumeration_fails) return std::unexpected(*enumeration_fails);
        std::vector<os::SessionInfo> sessions = listed;
        if (signed_in) sessions.push_back({kSignedIn, os::session_state::active});
        return sessions;
    }
    std::optional<std::string> session_user_name(std::uint32_t session) override {
        queried.push_back(session);
        if (signed_in && session == kSignedIn) return "user";
        if (auto it = user_names.find(session); it != user_names.end()) return it->second;
        return std::nullopt;
    }
    std::optional<std::uint32_t> active_console_session() override { return console_session; }
    bool mutex_exists(std::string_view name) override {
        return mutexes.contains(std::string(name));
    }
};

// Records every start; each gives `result`.
class FakeLauncher final : public os::Launcher {
  public:
    struct Start {
        std::uint32_t session = 0;
        std::string application;
        std::string command_line;
        std::optional<std::string> current_folder;
        os::NativePath native_application;  // as the call got them
        std::optional<os::NativePath> native_folder;
    };
    std::vector<Start> starts;
    os::Status result;

    os::Status start_as_session_user(std::uint32_t session, const os::NativePath& application,
                                     std::string_view command_line,
                                     const std::optional<os::NativePath>& folder) override {
        starts.push_back({session, os::to_utf8(application), std::string(command_line),
                          folder ? std::optional(os::to_utf8(*folder)) : std::nullopt, application,
                          folder});
        return result;
    }
};

// Records every call as text ("privilege", "shut_down force reboot", "suspend hibernate",
// "log_off N"); each gives the result set for it. `at_call`, when set, runs as each call is
// made, before it returns: a test looks there at what had been done by then.
class FakePower final : public os::Power {
  public:
    std::vector<std::string> calls;
    os::Status privilege;
    os::Status action;
    std::function<void(const std::string& call)> at_call;

    os::Status enable_shutdown_privilege() override { return made("privilege", privilege); }
    os::Status shut_down(bool force, bool reboot) override {
        return made(std::string("shut_down") + (force ? " force" : "") + (reboot ? " reboot" : ""),
                    action);
    }
    os::Status suspend(bool hibernate) override {
        return made(hibernate ? "suspend hibernate" : "suspend", action);
    }
    os::Status log_off_session(std::uint32_t session) override {
        return made("log_off " + std::to_string(session), action);
    }

  private:
    os::Status made(std::string call, const os::Status& result) {
        calls.push_back(std::move(call));
        if (at_call) at_call(calls.back());
        return result;
    }
};

// A process with a given command line and executable path (none: the query fails), given
// as UTF-8 or, for what UTF-8 cannot hold, in the native form.
class FakeProcess final : public os::Process {
  public:
    std::string line;
    std::optional<std::string> executable;
    std::optional<os::NativePath> native_executable;  // when set, in place of `executable`

    std::string command_line() override { return line; }
    os::Result<os::NativePath> executable_path() override {
        if (native_executable) return *native_executable;
        if (!executable) return std::unexpected(os::Error::os(5, "denied"));
        return os::to_native(*executable);
    }
};

// Every seam of the engine as a fake, the file system passing through to real files, and the
// real history log. The data folder stays unfixed until `data_dir.set` is called (the fake
// environment knows no folder to resolve).
struct FakeEngineEnv {
    ScriptedClock clock;
    ScriptedProcessorTimes cpu;
    FakeFileSystem files{os::real_file_system()};
    FakeSessions sessions;
    FakeLauncher launcher;
    FakePower power;
    FakeProcess process;
    FakeEnvironment environment;
    paths::DataDir data_dir{environment, files};
    history::HistoryLog history{clock, files, data_dir, redb::open_file_backend};

    engine::EngineEnv env() {
        return {clock, cpu, files, sessions, launcher, power, process, history, data_dir};
    }
};

}  // namespace snv::test
