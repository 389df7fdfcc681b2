// The engine over the Windows build's real session, launch and power calls (run under Wine
// here). Only lock, monitor_off and screensaver are performed: they make no call.
#ifdef _WIN32

#include <gtest/gtest.h>

#include "core/engine_fixture.h"
#include "engine/countdown_window.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/sessions.h"
#include "os/system_error.h"
#include "support/desktop_program.h"

namespace snv::test {
namespace {

using RealSeams = EngineFixture;

TEST_F(RealSeams, TheProbeSeesTheDesktopProgramComeAndGoAndReArmsTheWatches) {
    sessions = &os::real_sessions();
    engine().idle_armed = {false};
    engine().cpu_accum = {42.0};
    HeldMutex holder(std::string(engine::kDesktopMutexName), case_folder / "holder");
    ASSERT_TRUE(holder.held());
    engine().probe();
    EXPECT_TRUE(engine().desktop_running);
    EXPECT_EQ(engine().idle_armed, std::vector<bool>{false});

    ASSERT_EQ(holder.release(), 0);
    engine().probe();
    EXPECT_FALSE(engine().desktop_running);
    EXPECT_EQ(engine().idle_armed, std::vector<bool>{true});
    EXPECT_EQ(engine().cpu_accum, std::vector<double>{0.0});
}

TEST_F(RealSeams, TheHandOffStartsDuskpanelBesideTheServiceInItsFolder) {
    sessions = &os::real_sessions();
    launcher = &os::real_launcher();
    const std::filesystem::path service = case_folder / "service folder";
    install_duskpanel_standin(service);
    seams.process.executable = os_form(service / "snv-svc.exe");
    engine().user_signed_in = true;  // Wine lists no session, so say somebody is there
    engine().hand_off({"task 7", TriggerKind::cpu, Action::monitor_off});

    const std::string exe = os_form(service / "Duskpanel.exe");
    EXPECT_EQ(wait_for_standin_record(service),
              "\"" + exe + "\" --notify monitor_off cpu task 7\n" + os_form(service) + "\n");
    EXPECT_TRUE(engine().pending.empty());
    expect_history({});
}

TEST_F(RealSeams, AMissingDuskpanelIsRecordedAndTheActionQueued) {
    sessions = &os::real_sessions();
    launcher = &os::real_launcher();
    const std::filesystem::path service = case_folder / "empty";
    std::filesystem::create_directories(service);
    seams.process.executable = os_form(service / "snv-svc.exe");
    engine().user_signed_in = true;
    engine().hand_off({"t", TriggerKind::timer, Action::lock});
    ASSERT_EQ(engine().pending.size(), 1u);
    expect_history(
        {{local_now(), "error", Action::lock,
          "Cannot show countdown window: " + os::system_error(2).text + " (os error 2)"}});
}

TEST_F(RealSeams, ActionsThatNeedAUsersDesktopAreRefusedWithoutACall) {
    sessions = &os::real_sessions();
    power = &os::real_power();
    const os::MonotonicTime now = seams.clock.monotonic;
    engine().pending = {{now, {"a", TriggerKind::timer, Action::lock}},
                        {now, {"b", TriggerKind::idle, Action::monitor_off}},
                        {now, {"c", TriggerKind::cpu, Action::screensaver}}};
    engine().run_pending();
    const calendar::DateTime t = local_now();
    const std::string refused = "this action needs a logged-on user";
    expect_history({{t, "executed", Action::lock, ""},
                    {t, "error", Action::lock, refused},
                    {t, "executed", Action::monitor_off, ""},
                    {t, "error", Action::monitor_off, refused},
                    {t, "executed", Action::screensaver, ""},
                    {t, "error", Action::screensaver, refused}});
}

}  // namespace
}  // namespace snv::test

#endif
