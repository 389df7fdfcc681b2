// The Windows build's session, launch and power calls over the real Win32 layer (run under
// Wine here). No test reaches a call that shuts down, restarts, suspends or signs out.
#ifdef _WIN32

#include <windows.h>

#include <wtsapi32.h>

#include <gtest/gtest.h>

#include "os/launcher.h"
#include "os/path.h"
#include "os/power.h"
#include "os/sessions.h"
#include "os/system_error.h"
#include "support/desktop_program.h"
#include "support/temp_folder.h"

namespace snv::os {
namespace {

// A name of this test's own: the engine's tests hold the desktop program's mutex meanwhile.
const std::string kMutex =
    "Global\\Somnivo.SessionCallsTest." + std::to_string(GetCurrentProcessId());

TEST(Win32Sessions, TheListIsTheSystemsAsItGaveIt) {
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count));
    std::vector<SessionInfo> expected;
    for (DWORD i = 0; i < count; ++i) {
        expected.push_back({sessions[i].SessionId, static_cast<std::uint32_t>(sessions[i].State)});
    }
    WTSFreeMemory(sessions);
    // Wine lists no session at all; a real Windows has at least the services' session 0.
    const Result<std::vector<SessionInfo>> listed = real_sessions().enumerate_sessions();
    ASSERT_TRUE(listed) << listed.error().to_string();
    EXPECT_EQ(*listed, expected);
}

TEST(Win32Sessions, TheUserNameIsTheSystemsAnswerForTheSession) {
    DWORD own = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
    // Wine answers the name of the user who runs it for any session; Windows fails the query
    // of a session that does not exist.
    for (DWORD session : {own, DWORD{0}, DWORD{1}, DWORD{0xFFFFFFF0}}) {
        LPWSTR name = nullptr;
        DWORD bytes = 0;
        std::optional<std::string> expected;
        if (WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name,
                                        &bytes)) {
            if (name != nullptr) expected = to_utf8(NativePath(name));
            WTSFreeMemory(name);
        }
        EXPECT_EQ(real_sessions().session_user_name(session), expected) << session;
    }
    EXPECT_NE(real_sessions().session_user_name(own).value_or(""), "")
        << "this process's own session has a user";
}

TEST(Win32Sessions, TheConsoleSessionIsTheSystemsAnswer) {
    const DWORD id = WTSGetActiveConsoleSessionId();
    const std::optional<std::uint32_t> session = real_sessions().active_console_session();
    if (id == 0xFFFFFFFF) {
        EXPECT_EQ(session, std::nullopt);
    } else {
        EXPECT_EQ(session, id);
    }
}

TEST(Win32Sessions, TheMutexExistsExactlyWhileAnotherProcessHoldsIt) {
    test::TempFolder folder("mutex");
    EXPECT_FALSE(real_sessions().mutex_exists(kMutex));
    test::HeldMutex holder(kMutex, folder.path());
    ASSERT_TRUE(holder.held());
    EXPECT_TRUE(real_sessions().mutex_exists(kMutex));
    EXPECT_FALSE(real_sessions().mutex_exists("Global\\Somnivo.Other"));
    EXPECT_EQ(holder.release(), 0);
    EXPECT_FALSE(real_sessions().mutex_exists(kMutex));
}

TEST(Win32Launcher, StartsTheProgramWithTheExactLineInItsFolder) {
    test::TempFolder folder("launch with blank");
    test::install_duskpanel_standin(folder.path());
    const NativePath exe = to_native(test::os_form(folder / "Duskpanel.exe"));
    const std::string dir = test::os_form(folder.path());
    const std::string line =
        "\"" + test::os_form(folder / "Duskpanel.exe") + "\" --notify lock idle id with  blanks";
    const auto session = real_sessions().active_console_session();
    ASSERT_TRUE(session) << "Wine attaches session 1 to the console";
    const Status started =
        real_launcher().start_as_session_user(*session, exe, line, to_native(dir));
    ASSERT_TRUE(started) << started.error().to_string();
    EXPECT_EQ(test::wait_for_standin_record(folder.path()), line + "\n" + dir + "\n");
}

TEST(Win32Launcher, AMissingProgramFailsWithTheCodeOfTheStart) {
    test::TempFolder folder("launch missing");
    const NativePath exe = to_native(test::os_form(folder / "Duskpanel.exe"));
    const auto session = real_sessions().active_console_session();
    ASSERT_TRUE(session);
    const Status started = real_launcher().start_as_session_user(
        *session, exe, "\"x\" --notify lock idle a", to_native(test::os_form(folder.path())));
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(started.error().to_string(),
              system_error(ERROR_FILE_NOT_FOUND).text + " (os error 2)");
}

TEST(Win32Power, TheShutdownPrivilegeStepAnswersForThisProcess) {
    // Only the process's own token changes; no power call is made.
    const Status enabled = real_power().enable_shutdown_privilege();
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    LUID luid{};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid));
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL held = FALSE;
    ASSERT_TRUE(PrivilegeCheck(token, &set, &held));
    CloseHandle(token);
    if (enabled) {
        EXPECT_TRUE(held) << "success means the privilege is enabled now";
    } else {
        EXPECT_EQ(enabled.error().code, static_cast<std::uint32_t>(ERROR_NOT_ALL_ASSIGNED));
        EXPECT_FALSE(held);
    }
}

}  // namespace
}  // namespace snv::os

#endif
