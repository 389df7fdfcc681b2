// The queue of actions that the service performs itself, and the actions.

#include <gtest/gtest.h>

#include "core/engine_fixture.h"
#include "engine/power_actions.h"
#include "os/system_error.h"

namespace snv::test {
namespace {

TEST(ExecuteAction, EachActionMakesItsCallsOrIsRefused) {
    const std::string needs_user = "this action needs a logged-on user";
    struct Case {
        Action action;
        bool force;
        std::optional<std::uint32_t> console;
        std::vector<std::string> calls;
        std::string error;  // empty: success
    } cases[] = {
        {Action::shutdown, true, 1, {"privilege", "shut_down force"}, ""},
        {Action::shutdown, false, 1, {"privilege", "shut_down"}, ""},
        {Action::restart, true, 1, {"privilege", "shut_down force reboot"}, ""},
        {Action::restart, false, 1, {"privilege", "shut_down reboot"}, ""},
        {Action::sleep, true, 1, {"privilege", "suspend"}, ""},
        {Action::hibernate, false, 1, {"privilege", "suspend hibernate"}, ""},
        {Action::sign_out, true, 7, {"log_off 7"}, ""},
        {Action::sign_out, true, 0, {"log_off 0"}, ""},
        {Action::sign_out, true, std::nullopt, {}, "no active console session"},
        {Action::lock, true, 1, {}, needs_user},
        {Action::monitor_off, true, 1, {}, needs_user},
        {Action::screensaver, false, std::nullopt, {}, needs_user},
    };
    for (const Case& c : cases) {
        FakePower power;
        FakeSessions sessions;
        sessions.console_session = c.console;
        const os::Status result = engine::execute_action(power, sessions, c.action, c.force);
        const std::string what =
            std::string(model::action_name(c.action)) + (c.force ? " forced" : "");
        EXPECT_EQ(power.calls, c.calls) << what;
        EXPECT_EQ(result ? "" : result.error().to_string(), c.error) << what;
    }
}

TEST(ExecuteAction, AFailedPrivilegeStepIsTheActionsErrorAndItsCallIsNotMade) {
    for (Action action : {Action::shutdown, Action::restart, Action::sleep, Action::hibernate}) {
        FakePower power;
        FakeSessions sessions;
        power.privilege = std::unexpected(os::system_error(1300));
        const os::Status result = engine::execute_action(power, sessions, action, true);
        EXPECT_EQ(power.calls, std::vector<std::string>{"privilege"});
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().code, 1300u);
        EXPECT_TRUE(result.error().to_string().ends_with(" (os error 1300)"));
    }
    // And the call's own failure is reported as it came.
    FakePower power;
    FakeSessions sessions;
    sessions.console_session = 2;
    power.action = std::unexpected(os::system_error(5));
    const os::Status result = engine::execute_action(power, sessions, Action::sign_out, true);
    EXPECT_EQ(result.error().to_string(), os::system_error(5).text + " (os error 5)");
}

using Pending = EngineFixture;
using PendingOracle = EngineFixture;

TEST_F(PendingOracle, ADeadlineEqualToNowIsDueOneNanosecondLaterWaits) {
    const os::MonotonicTime now = seams.clock.monotonic;
    engine().pending = {
        {now - 1s, {"a", TriggerKind::timer, Action::sleep}},
        {now + 1ns, {"b", TriggerKind::idle, Action::hibernate}},
        {now, {"c", TriggerKind::cpu, Action::shutdown}},
        {now + 10s, {"d", TriggerKind::timer, Action::restart}},
        {now - 1ns, {"a", TriggerKind::timer, Action::sign_out}},  // the same task again
    };
    seams.sessions.console_session = 4;
    engine().run_pending();
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "suspend", "privilege",
                                                           "shut_down force", "log_off 4"}));
    EXPECT_EQ(engine().pending, (std::vector<PendingAction>{
                                    {now + 1ns, {"b", TriggerKind::idle, Action::hibernate}},
                                    {now + 10s, {"d", TriggerKind::timer, Action::restart}}}));
    const calendar::DateTime t = local_now();
    expect_history({{t, "executed", Action::sleep, ""},
                    {t, "executed", Action::shutdown, ""},
                    {t, "executed", Action::sign_out, ""}});

    seams.power.calls.clear();
    pass(1ns);
    engine().run_pending();
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "suspend hibernate"}));
    EXPECT_EQ(engine().pending.size(), 1u);
}

TEST_F(PendingOracle, EveryAttemptIsRecordedBeforeAndEveryFailureAfter) {
    write_data_file(
        "tasks.json",
        R"({"version":1,"tasks":[)"
        R"({"id":"night","name":"","enabled":true,"action":"restart","trigger":{"type":"daily","time":"22:00","start":"2025-01-01"}},)"
        R"({"id":"lunch","name":" Lunch break ","enabled":true,"action":"lock","trigger":{"type":"cpu","percent":80,"minutes":5,"below":false}},)"
        R"({"id":"night","name":"later twin","enabled":true,"action":"sleep","trigger":{"type":"idle","minutes":3}}]})");
    write_data_file("settings.json", R"({"force_close_apps":false})");
    engine().tick();  // loads the tasks and settings
    ASSERT_EQ(engine().tasks.size(), 3u);
    seams.power.privilege = std::unexpected(os::system_error(1300));
    const os::MonotonicTime now = seams.clock.monotonic;
    engine().pending = {
        {now, {"night", TriggerKind::timer, Action::shutdown}},  // the action stored is done
        {now, {"lunch", TriggerKind::cpu, Action::lock}},
        {now, {"gone", TriggerKind::idle, Action::sign_out}},
        {now, {"night", TriggerKind::timer, Action::monitor_off}},
    };
    engine().run_pending();
    EXPECT_TRUE(engine().pending.empty()) << "a failed action is not queued again";
    EXPECT_EQ(seams.power.calls, std::vector<std::string>{"privilege"});
    const calendar::DateTime t = local_now();
    const std::string night = "Restart \xc2\xb7 Every day at 22:00";
    expect_history({
        {t, "executed", Action::shutdown, night},
        {t, "error", Action::shutdown, os::system_error(1300).text + " (os error 1300)"},
        {t, "executed", Action::lock, " Lunch break  \xc2\xb7 When CPU stays above 80% for 5 min"},
        {t, "error", Action::lock, "this action needs a logged-on user"},
        {t, "executed", Action::sign_out, ""},
        {t, "error", Action::sign_out, "no active console session"},
        {t, "executed", Action::monitor_off, night},
        {t, "error", Action::monitor_off, "this action needs a logged-on user"},
    });
}

// A failed call may leave the last error at 0: its entry still carries the code.
TEST_F(PendingOracle, AFailedCallThatLeftCodeZeroIsRecordedWithTheCode) {
    seams.sessions.console_session = 3;
    seams.power.action = std::unexpected(os::system_error(0));
    engine().pending = {{seams.clock.monotonic, {"x", TriggerKind::timer, Action::sign_out}}};
    engine().run_pending();
    const calendar::DateTime t = local_now();
    expect_history({
        {t, "executed", Action::sign_out, ""},
        {t, "error", Action::sign_out, os::system_error(0).text + " (os error 0)"},
    });
}

// A shutdown may end the service before any later write: the "executed" entry is in
// history.redb by the time each of the action's calls is made.
TEST_F(PendingOracle, TheExecutedEntryIsStoredBeforeTheActionIsAttempted) {
    engine().pending = {{seams.clock.monotonic, {"x", TriggerKind::timer, Action::shutdown}}};
    const calendar::DateTime t = local_now();
    seams.power.at_call = [&](const std::string& call) {
        SCOPED_TRACE("at the call " + call);
        expect_history({{t, "executed", Action::shutdown, ""}});
    };
    engine().run_pending();
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "shut_down force"}));
}

TEST_F(Pending, ForceCloseAppsComesFromTheLoadedSettings) {
    write_data_file("settings.json", R"({"force_close_apps":false})");
    engine().tick();
    engine().pending = {{seams.clock.monotonic, {"x", TriggerKind::timer, Action::restart}}};
    engine().run_pending();
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "shut_down reboot"}));
}

TEST_F(PendingOracle, AnActionQueuedInATickIsPerformedFromTheFirstTickAfterItsCountdown) {
    write_data_file("settings.json", R"({"countdown":{"seconds":5}})");
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[{"id":"i","enabled":true,"action":"sleep",)"
                    R"("trigger":{"type":"idle","minutes":1}}]})");
    engine().tick();
    pass(60s);
    engine().tick();  // due, queued for 5 s
    ASSERT_EQ(engine().pending.size(), 1u);
    const os::MonotonicTime deadline = engine().pending[0].deadline;
    EXPECT_EQ(deadline, seams.clock.monotonic + 5s);
    for (int i = 0; i < 4; ++i) {
        pass(1s);
        engine().tick();
    }
    pass(999'999'999ns);
    engine().tick();
    EXPECT_TRUE(seams.power.calls.empty());
    pass(1ns);
    engine().tick();
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "suspend"}));
    EXPECT_TRUE(engine().pending.empty());
    expect_history({{local_now(), "executed", Action::sleep,
                     "Sleep \xc2\xb7 After 1 min without keyboard or mouse input"}});
}

}  // namespace
}  // namespace snv::test
