// The engine over the real session, launch and power layer of each build: under Wine the
// Win32 calls, natively the stand-in. The Windows build performs only lock, monitor_off and
// screensaver here, which make no call; the stand-in refuses every action.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/engine_fixture.h"
#include "engine/countdown_window.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/sessions.h"
#include "os/system_error.h"
#include "support/desktop_program.h"

namespace snv::test {
namespace {

class RealSeams : public EngineFixture {
  protected:
    RealSeams() {
        sessions = &os::real_sessions();
        launcher = &os::real_launcher();
        power = &os::real_power();
    }
};
using RealSeamsOracle = RealSeams;

#ifdef _WIN32

TEST_F(RealSeams, TheProbeSeesTheDesktopProgramComeAndGoAndReArmsTheWatches) {
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

TEST_F(RealSeamsOracle, AMissingDuskpanelIsRecordedAndTheActionQueued) {
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

TEST_F(RealSeamsOracle, ActionsThatNeedAUsersDesktopAreRefusedWithoutACall) {
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

#else

TEST_F(RealSeamsOracle, HandOffsAreQueuedAndEveryActionIsRefused) {
    engine().user_signed_in = true;
    engine().hand_off({"t", TriggerKind::timer, Action::shutdown});
    ASSERT_EQ(engine().pending.size(), 1u);
    const calendar::DateTime t = local_now();

    const os::MonotonicTime now = seams.clock.monotonic;
    for (Action a :
         {Action::restart, Action::sleep, Action::hibernate, Action::sign_out, Action::lock}) {
        engine().pending.push_back({now, {"t", TriggerKind::timer, a}});
    }
    pass(30s);
    engine().run_pending();
    EXPECT_TRUE(engine().pending.empty());
    const std::string refused = std::string(std::strerror(EPERM)) + " (os error 1)";
    const calendar::DateTime later = local_now();
    std::vector<HistoryRow> rows{
        {t, "error", Action::shutdown, "Cannot show countdown window: no console session"}};
    for (const auto& [action, error] : std::vector<std::pair<Action, std::string> >{
             {Action::shutdown, refused},
             {Action::restart, refused},
             {Action::sleep, refused},
             {Action::hibernate, refused},
             {Action::sign_out, "no active console session"},
             {Action::lock, "this action needs a logged-on user"}}) {
        rows.push_back({later, "executed", action, ""});
        rows.push_back({later, "error", action, error});
    }
    expect_history(rows);
}

#endif

}  // namespace
}  // namespace snv::test
